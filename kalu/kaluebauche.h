// SPDX-License-Identifier: GPL-3.0-or-later
//
// kaluebauche: the map's picture while a load makes its curves, so that the
// map shows as it comes rather than once the last curve is made.
//
// Curves are drawn in order, so a new curve lies above every older one: the
// curves made since the last picture, drawn over it, give the very pixels
// one drawing of them all would. Each lot of new curves is drawn over the
// last picture by a drawing job (kalutravail) on every core, while the load
// goes on making the next ones. When the load ends in the view the pictures
// were drawn for, the complete picture is already made.
//
// The parts the reader gave whose curves are still to be made are announced
// here with the looks their curves will have: a lot takes them after the
// curves made, so that the picture follows the reading, not the making of
// the curves on the GUI thread. A curve draws what its part's element says:
// once the curves are made, the picture is theirs.
//
// When the view changes during the load (a drag, the wheel, a resize), the
// pictures begin again for the new view, and the last picture that held
// curves is shown moved and scaled to it (dessineDeplacee) until the new
// one holds curves: the map drawn so far never leaves the screen.
//
// Threads: an Ebauche is made, asked and deleted on the GUI thread; its
// jobs draw on the pool, on their lot alone (shared, read-only), and
// avance() comes on the GUI thread.
#ifndef KALUEBAUCHE_H
#define KALUEBAUCHE_H

#include <QImage>
#include <QObject>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "kalucliche.h"
#include "kalutravail.h"

class Ebauche : public QObject
{
    Q_OBJECT

  public:
    // Cancels the lot being drawn and waits for its threads.
    ~Ebauche() override;

    // From no curve, for the view `vue`, over `fond` (the plot's picture
    // before the curves, copied), drawn with the hints and modes of
    // `painter`. A lot being drawn is cancelled. The last picture with
    // curves is kept to be shown moved.
    void commence(const QImage &fond, const Vue &vue, const QCPPainter &painter);
    // No picture any more, none kept to be shown moved; a lot being drawn
    // is cancelled.
    void oublie();
    bool commencee() const { return !fond_.isNull(); }
    // The parts from the `debut`th on are gone: the lot being drawn is
    // cancelled, and the pictures forgotten if they hold any of them.
    void retire(size_t debut);

    // Made for the view `vue`, over the very fond `tampon` holds where the
    // curves may draw.
    bool vaPour(const Vue &vue, const QImage &tampon) const;

    // Draws `lot`, the curves that follow those drawn, in their states
    // `etats`, over the picture, on up to `fils` threads; avance() tells
    // when they are in. One lot at a time.
    void poursuit(std::shared_ptr<const Scene> lot, std::shared_ptr<const Etats> etats, int fils);
    bool enCours() const { return travail != nullptr; }
    // Waits for the lot being drawn, whose curves are in the picture on
    // return (an export's drawing); avance() is then not sent for it.
    void attends();

    // The number of curves drawn, from the first in order, and their states.
    size_t dessinees() const { return etats_.size(); }
    std::shared_ptr<const Etats> etats() const { return std::make_shared<const Etats>(etats_); }

    // Writes the picture into `tampon` (same size and format), where the
    // curves may draw.
    void pose(QImage &tampon) const;

    // The curves of the last picture that held any, moved and scaled to
    // the view `maintenant`, over what `painter` drew: the picture while the
    // view moves, or for a new view whose pictures hold no curve yet.
    void dessineDeplacee(QCPPainter *painter, const Vue &maintenant);

    // The parts of the load read whose curves are not made yet, in the
    // order their curves will be made, after the last curve: the pictures
    // may draw them ahead of their curves. `suivants[k].habit` indexes
    // `habits`, the looks their curves will have. Not forgotten with the
    // pictures (oublie): only with the curves (oublieAnnoncees).
    void annonce(std::vector<Scene::Element> &suivants, const std::vector<Habit> &habits);
    size_t annoncees() const { return aVenir.size(); }
    // The first part announced is a curve now.
    void prise();
    void oublieAnnoncees() { aVenir.clear(); }
    // A lot of the announced parts from the `debut`th on, after the elements
    // of `avant` (if any: a lot of curves made, the caller's alone, to which
    // they are appended), within `points` in all (at least one element).
    std::shared_ptr<Scene> annoncees(size_t debut, long points, std::shared_ptr<Scene> avant) const;
    // How many of the announced parts from the `debut`th on such a lot
    // takes within `points`.
    size_t combien(size_t debut, long points) const;

    // The lot policy, for the window's load and kalu-export's alike: the
    // points the next lot takes at its `temps`. The first lot of a picture
    // takes every part there is (a view that changed catches up in one
    // drawing); while parts come, about POINTS_LOT, drawn within a tenth of
    // a second or so; once they are all made, POINTS_FIN, a few times
    // bigger (a lot's elements are copied on the GUI thread, and half a
    // million of them took 17 ms); for an export's end, every part left.
    enum class Temps { Premier, Lecture, Fin, Reste };
    static long pointsDuLot(Temps temps);
    static const long POINTS_LOT = 1000000;
    static const long POINTS_FIN = 4 * POINTS_LOT;

    // The raster picture an export's `painter` paints on with no
    // transformation at ratio 1, and the view `v` of `plot` it is drawn
    // for (at ratio 1): the pictures and jobs can draw there. Null if not.
    static QImage *tamponExport(QCPPainter *painter, QCustomPlot *plot, Vue &v);
    // An export drawn as the load went, of the view `v` over the very fond
    // `tampon` holds: the lot being drawn is waited for, `suite` begins the
    // next (the parts left), waited for too; if the picture then holds
    // `parties` parts, it is posed in `tampon` and true is returned.
    bool exporte(QImage &tampon, const Vue &v, const std::function<void()> &suite, size_t parties);
    // An export drawn at once: the picture `demande` asks for, by one job on
    // up to `fils` threads, waited for, its pixels copied into `tampon` where
    // the curves may draw. False if memory ran out (`tampon` is untouched).
    static bool exporteEnUn(Travail::Demande demande, int fils, QImage &tampon);

    const QImage &fond() const { return fond_; }
    const QImage &image() const { return image_; }
    const Vue &vue() const { return vue_; }

  signals:
    // A lot is in: image() holds more curves.
    void avance();

  private:
    void lotFini();
    void prend(Travail &fait);
    void arrete();

    QImage fond_, image_;
    Vue vue_;
    QPainter::RenderHints indices;
    QCPPainter::PainterModes modes = QCPPainter::pmDefault;
    Etats etats_;
    std::unique_ptr<Travail> travail; // the lot being drawn
    std::shared_ptr<const Etats> etatsLot;
    std::vector<std::unique_ptr<Travail>> arretes; // cancelled, still ending
    Cliche deplacee;                   // the last picture with curves, to be shown moved
    std::deque<Scene::Element> aVenir; // announced, after the last curve
    std::vector<Habit> habitsAVenir;   // their looks
};

#endif
