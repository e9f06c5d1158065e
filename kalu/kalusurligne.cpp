// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalusurligne.h"

#include "kalulignes.h"
#include "kalureserve.h"

#include <algorithm>
#include <cmath>

namespace
{

// How far beyond the view, in pixels, a curve's points are taken as they
// are: the raster engine draws them exactly, and the cells stay positive.
const double LOIN = 4000;

// The points of `lignes` that fall on the cell of the point kept before
// them left out, cells `cellule` pixels wide; the last point and the gaps
// stay.
void decime(QVector<QPointF> &lignes, double cellule)
{
    const int n = lignes.size();
    QPointF *p = lignes.data();
    const double inverse = 1 / cellule;
    int garde = 0;
    long gx = -1, gy = -1;
    for (int i = 0; i < n; ++i) {
        const QPointF q = p[i];
        if (q.x() != q.x() || q.y() != q.y()) {
            p[garde++] = q;
            gx = gy = -1;
            continue;
        }
        // Positive within LOIN of the view: truncation is the floor.
        const long x = long((q.x() + LOIN) * inverse), y = long((q.y() + LOIN) * inverse);
        if (x != gx || y != gy || i == n - 1) {
            p[garde++] = q;
            gx = x;
            gy = y;
        }
    }
    lignes.resize(garde);
}

bool proche(const Vue &vue, const Scene::Element &e)
{
    return QRectF(vue.zone())
        .adjusted(-LOIN / 2, -LOIN / 2, LOIN / 2, LOIN / 2)
        .contains(portee(vue, e.cles, e.valeurs));
}

// The stroke of `lignes`, a polyline between each gap.
void trace(QPainter &p, const QVector<QPointF> &lignes)
{
    int debut = 0;
    const int n = lignes.size();
    for (int i = 0; i <= n; ++i) {
        if (i == n || qIsNaN(lignes[i].x()) || qIsNaN(lignes[i].y())) {
            if (i - debut > 1)
                p.drawPolyline(lignes.constData() + debut, i - debut);
            debut = i + 1;
        }
    }
}

} // namespace

bool contour(const Vue &vue, const Scene::Element &e, double cellule, QVector<QPointF> &lignes)
{
    lignes.clear();
    if (!e.donnees || !proche(vue, e))
        return false;
    // One pass, the points kept alone stored: a ring of a million points
    // is walked once.
    lignes.reserve(1024);
    const double inverse = 1 / cellule;
    long gx = -1, gy = -1;
    bool garde = true;
    QPointF q;
    for (auto d = e.donnees->constBegin(); d != e.donnees->constEnd(); ++d) {
        q = vue.pixel(d->key, d->value);
        if (q.x() != q.x() || q.y() != q.y()) {
            lignes.append(q);
            gx = gy = -1;
            garde = true;
            continue;
        }
        const long x = long((q.x() + LOIN) * inverse), y = long((q.y() + LOIN) * inverse);
        garde = x != gx || y != gy;
        if (garde) {
            lignes.append(q);
            gx = x;
            gy = y;
        }
    }
    if (!garde)
        lignes.append(q);
    return true;
}

QImage surligne(const QImage &neutre, const Vue &vue, const Scene &scene,
                const std::vector<int> &choisies, QPainter::RenderHints indices,
                QCPPainter::PainterModes modes)
{
    QImage image = reserve::copie(neutre);
    image.setDevicePixelRatio(vue.ratio);
    QCPPainter p(&image);
    p.setRenderHints(indices);
    p.setModes(modes);
    p.setClipRect(vue.zone());
    p.setBrush(Qt::NoBrush);
    QVector<QPointF> lignes;
    for (int r : choisies) {
        const Scene::Element &e = scene.elements[size_t(r)];
        const Habit &h = scene.habits[size_t(e.habit)];
        if (!e.donnees || !h.ligne || h.traitChoisi.style() == Qt::NoPen)
            continue;
        // Far beyond the view, the points folded as the library folds them.
        if (!contour(vue, e, 1 / vue.ratio, lignes)) {
            lignesCourbe(vue, *e.donnees, h.traitChoisi.widthF(), &lignes, &e.cles, &e.valeurs);
            decime(lignes, 1 / vue.ratio);
        }
        p.setAntialiasing(h.lisse);
        p.setPen(h.traitChoisiRaster);
        trace(p, lignes);
    }
    return image;
}

// Each curve's fill and line drawn, antialiased, on a picture of one pixel
// a tile: every tile they cross gets some of it. The line left out at most
// a tile's diagonal of the points, and the pens and their antialiasing
// reach a few pixels: the tiles marked are then widened by that much.
Empreinte::Empreinte(const Vue &vue, const Scene &scene, const std::vector<int> &rangs,
                     QSize taille, const QRect &dans)
    : largeur((taille.width() + COTE - 1) / COTE), hauteur((taille.height() + COTE - 1) / COTE),
      dans(dans)
{
    QImage masque(std::max(1, largeur), std::max(1, hauteur), QImage::Format_ARGB32_Premultiplied);
    masque.fill(Qt::transparent);
    double pen = 1;
    {
        QPainter p(&masque);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(vue.ratio / COTE, vue.ratio / COTE);
        QPen trait(Qt::black, 0);
        QVector<QPointF> lignes;
        for (int r : rangs) {
            const Scene::Element &e = scene.elements[size_t(r)];
            if (!e.donnees)
                continue;
            const Habit &h = scene.habits[size_t(e.habit)];
            pen = std::max({pen, h.trait.widthF(), h.traitChoisi.widthF()});
            const bool pris = contour(vue, e, COTE / vue.ratio, lignes);
            if (!pris || std::any_of(lignes.begin(), lignes.end(),
                                     [](const QPointF &q) { return q.x() != q.x(); })) {
                p.fillRect(portee(vue, e.cles, e.valeurs), Qt::black);
                continue;
            }
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::black);
            p.drawPolygon(lignes.constData(), lignes.size(), Qt::OddEvenFill);
            p.setPen(trait);
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(lignes.constData(), lignes.size());
        }
    }
    marque(masque, 2 + int(std::ceil(pen * vue.ratio / COTE)));
}

// The summed area of the tiles marked in `masque`, each widened by `marge`
// tiles, within `dans`.
void Empreinte::marque(const QImage &masque, int marge)
{
    std::vector<uint8_t> pris(size_t(largeur) * size_t(hauteur), 0);
    const QRect tuiles(QPoint(dans.left() / COTE, dans.top() / COTE),
                       QPoint(dans.right() / COTE, dans.bottom() / COTE));
    for (int j = 0; j < hauteur; ++j) {
        const QRgb *ligne = reinterpret_cast<const QRgb *>(masque.constScanLine(j));
        for (int i = 0; i < largeur; ++i) {
            if (qAlpha(ligne[i]) == 0)
                continue;
            for (int y = std::max(0, j - marge); y <= std::min(hauteur - 1, j + marge); ++y)
                for (int x = std::max(0, i - marge); x <= std::min(largeur - 1, i + marge); ++x)
                    pris[size_t(y) * size_t(largeur) + size_t(x)] = tuiles.contains(x, y);
        }
    }
    somme.assign(size_t(largeur + 1) * size_t(hauteur + 1), 0);
    for (int j = 0; j < hauteur; ++j)
        for (int i = 0; i < largeur; ++i)
            somme[size_t(j + 1) * size_t(largeur + 1) + size_t(i + 1)] =
                pris[size_t(j) * size_t(largeur) + size_t(i)] + cumul(i, j + 1) + cumul(i + 1, j) -
                cumul(i, j);
}

bool Empreinte::touche(const QRect &r) const
{
    const QRect d = r.intersected(QRect(0, 0, largeur * COTE, hauteur * COTE));
    if (d.isEmpty())
        return false;
    const int i0 = d.left() / COTE, j0 = d.top() / COTE;
    const int i1 = d.right() / COTE + 1, j1 = d.bottom() / COTE + 1;
    return cumul(i1, j1) - cumul(i0, j1) - cumul(i1, j0) + cumul(i0, j0) > 0;
}

std::vector<QRect> Empreinte::rectangles() const
{
    std::vector<QRect> r;
    for (int j = 0; j < hauteur; ++j) {
        for (int i = 0; i < largeur;) {
            if (!tuile(i * COTE, j * COTE)) {
                ++i;
                continue;
            }
            int fin = i + 1;
            while (fin < largeur && tuile(fin * COTE, j * COTE))
                ++fin;
            r.push_back(QRect(i * COTE, j * COTE, (fin - i) * COTE, COTE).intersected(dans));
            i = fin;
        }
    }
    return r;
}
