// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalucliche: the map's picture cache. It keeps the last complete drawing of
// the curves: the plot's picture just before the curves (the fond: grid and
// whatever lies under them) and just after (the image), in device pixels,
// with the view, the scene and the states they were drawn for.
//
// - A replot whose view, scene and fond are those of the picture gets the
//   picture back by a copy of its bytes (pose), at any device pixel ratio:
//   the very pixels of the drawing.
// - Until a new complete drawing is ready, the curves of the picture are
//   shown moved and scaled to the present ranges (dessineDeplacee), over the
//   live grid: the curves alone, the fond's grid taken out of them.
// - A partial redraw replaces some rectangles of the picture (retouche), or
//   a partial drawing job the whole picture (remplace).
// - It also keeps, when it knows it, the picture of the same view with no
//   curve selected (the neutral picture): a selection's change, or a
//   removal, is then drawn over it in the rectangle of the curves that
//   change, never in that of the selection that goes, and it shows meanwhile
//   with no selection at all. A picture drawn with none selected is its own
//   neutral picture; a change of the curves shown forgets the neutral
//   picture unless it is the new picture itself.
//
// Threads: GUI thread only. The pictures it holds are shared values: a job
// may hold the same fond.
#ifndef KALUCLICHE_H
#define KALUCLICHE_H

#include <QImage>
#include <QVector>

#include <memory>

#include "kaluscene.h"
#include "kaluvue.h"

class QPainter;
class QCPPainter;

class Cliche
{
  public:
    // The picture `painter` paints on, when it is one whose bytes can be
    // read and written in place (the plot's raster paint buffer), else null.
    // `opaque` accepts a picture without alpha too: an export's pixmap on a
    // solid background, drawn once and never separated.
    static QImage *tamponDe(QPainter *painter, bool opaque = false);

    void oublie();

    // Keeps a complete drawing. `seules`, the curves alone, may be null: it
    // is then made when a gesture first needs it. `scene` and `etats` may be
    // null for a picture only ever shown moved.
    void adopte(const QImage &fond, const QImage &image, const QImage &seules, const Vue &vue,
                std::shared_ptr<const Scene> scene, std::shared_ptr<const Etats> etats);

    // Drawn for this view and scene, over the very fond that `tampon` holds
    // where the curves may draw.
    bool vaPour(const Vue &vue, const Scene *scene, const QImage &tampon) const;

    // Writes the picture into `tampon` (same size and format), byte for
    // byte, where the curves may draw.
    void pose(QImage &tampon) const;

    // The curves of the picture, moved and scaled to the view `maintenant`,
    // clipped to its axis rectangle.
    void dessineDeplacee(QCPPainter *painter, const Vue &maintenant);

    // Copies the rectangles `sale` (device pixels) of `brouillon` into the
    // picture, whose states become `etats`.
    void retouche(const QImage &brouillon, const QVector<QRect> &sale,
                  std::shared_ptr<const Etats> etats);

    // The whole picture drawn again by a partial job for `etats`, over the
    // same view, scene and fond; `seules` its curves alone, or null.
    void remplace(const QImage &image, const QImage &seules, std::shared_ptr<const Etats> etats);

    // The curves alone of the picture, made elsewhere for `image`: kept if
    // the picture is still that one and has none yet.
    void completeSeules(const QImage &image, const QImage &seules);

    // The neutral picture, its curves alone (null until made) and its
    // states (none selected), when known.
    bool aNeutre() const { return !neutre_.isNull(); }
    const QImage &neutre() const { return neutre_; }
    const QImage &seulesNeutre() const { return seulesNeutre_; }
    const std::shared_ptr<const Etats> &etatsNeutre() const { return etatsNeutre_; }
    // The neutral picture becomes the picture: none of the selection it had
    // shows, moved or not.
    void montreNeutre();

    // No curve is selected in `etats`; `a` and `b` show the same curves.
    static bool sansChoix(const Etats &etats);
    static bool memesVisibles(const Etats &a, const Etats &b);

    const QImage &fond() const { return fond_; }
    const QImage &image() const { return image_; }
    const QImage &seules() const { return seules_; }
    const Vue &vue() const { return vue_; }
    const Scene *scene() const { return scene_.get(); }
    const std::shared_ptr<const Etats> &etats() const { return etats_; }

    // The curves alone of `image` over `fond`, within `dans` (device
    // pixels) of `seules`: where the grid showed under them, the colour of
    // a neighbouring pixel without grid. Any thread.
    static void separe(const QImage &fond, const QImage &image, QImage &seules, const QRect &dans);

    // Copies into `vers` the pixels of `de` that curves drawn for the view
    // `v` may touch (pictures of one size and format).
    static void copieChamp(QImage &vers, const QImage &de, const Vue &v);

    // The device pixels the curves may touch in a picture of view `v`:
    // their clip, the axis rectangle, whatever the rounding of its edges.
    static QRect champ(const Vue &v, const QImage &image);
    // `a` and `b` hold the same pixels there. Outside, the layers under the
    // curves may change (a new sub-title) without touching their picture.
    static bool memeChamp(const QImage &a, const QImage &b, const Vue &v);

  private:
    void suisNeutre();

    QImage fond_, image_, seules_;
    Vue vue_;
    std::shared_ptr<const Scene> scene_;
    std::shared_ptr<const Etats> etats_;
    QImage neutre_, seulesNeutre_;
    std::shared_ptr<const Etats> etatsNeutre_;
};

#endif
