// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalusurligne: what a change of selection touches, and what shows of it
// at once.
//
// - The stand-in (surligne): what shows of a selection the moment it
//   changes, while the exact picture takes a drawing job (a ring of three
//   quarters of a million points and every curve near it): the picture
//   with no curve selected, and over it the outline of each selected curve
//   in its selected pen. Nothing of the selection that went shows in it;
//   the exact picture, which differs from it only where the selected curves
//   draw, replaces it once drawn. The outline is the curve's line with the
//   points that fall on the device pixel of the point before them left out:
//   the stroke looks the same at a fraction of the cost.
// - The footprint (Empreinte): the tiles of a picture where some curves may
//   draw, their fill and their line with its pen and antialiasing, a
//   superset whatever the rounding: a country whose box spans the map (it
//   crosses the antimeridian) touches only the tiles of its own land, and
//   the curves drawn again for it are only those that meet them.
//
// Threads: any thread, on pictures it owns, with a scene that no one
// changes (the map makes the stand-in on the GUI thread, a partial job its
// footprint on the pool).
#ifndef KALUSURLIGNE_H
#define KALUSURLIGNE_H

#include <QImage>
#include <QPainter>

#include <vector>

#include "kaluscene.h"

// `neutre` (the picture of the view `vue` with none selected, device
// pixels) with the outlines of the curves of `scene` at `choisies` drawn
// over it, clipped to the view's axis rectangle, with the hints and modes
// given (the plot's painter's).
QImage surligne(const QImage &neutre, const Vue &vue, const Scene &scene,
                const std::vector<int> &choisies, QPainter::RenderHints indices,
                QCPPainter::PainterModes modes);

// The pixels of the line of `e`, in the view's pixels, with a point left
// out wherever it falls on the cell of the point kept before it, cells
// being `cellule` pixels wide (the last point and the gaps of NaN points
// stay). False, and nothing in `lignes`, when the curve's box reaches too
// far beyond the view for its points to be taken as they are.
bool contour(const Vue &vue, const Scene::Element &e, double cellule, QVector<QPointF> &lignes);

class Empreinte
{
  public:
    // Tiles of this many device pixels a side.
    static const int COTE = 16;

    // The tiles of a picture of `taille` device pixels, drawn for `vue`,
    // where the curves of `scene` at `rangs` may draw, within `dans`.
    Empreinte(const Vue &vue, const Scene &scene, const std::vector<int> &rangs, QSize taille,
              const QRect &dans);

    // Whether a drawing within the device pixels `r` may touch a tile.
    bool touche(const QRect &r) const;
    // Whether the tile holding the device pixel (x, y) is one.
    bool tuile(int x, int y) const
    {
        return cumul(x / COTE + 1, y / COTE + 1) - cumul(x / COTE, y / COTE + 1) -
                   cumul(x / COTE + 1, y / COTE) + cumul(x / COTE, y / COTE) >
               0;
    }
    // The device pixels of the tiles, in rectangles of rows of tiles.
    std::vector<QRect> rectangles() const;

  private:
    void marque(const QImage &masque, int marge);
    int cumul(int i, int j) const { return somme[size_t(j) * size_t(largeur + 1) + size_t(i)]; }

    int largeur, hauteur; // in tiles
    QRect dans;
    std::vector<int> somme; // summed area of the tiles, (largeur+1) x (hauteur+1)
};

#endif
