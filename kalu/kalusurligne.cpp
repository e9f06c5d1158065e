// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalusurligne.h"

#include "kalulignes.h"

#include <cmath>

void resserrePixels(QVector<QPointF> &lignes, qreal ratio)
{
    const int n = lignes.size();
    QPointF *p = lignes.data();
    int garde = 0;
    long gx = 0, gy = 0;
    bool dernierTrou = true;
    for (int i = 0; i < n; ++i) {
        const QPointF q = p[i];
        if (qIsNaN(q.x()) || qIsNaN(q.y())) {
            p[garde++] = q;
            dernierTrou = true;
            continue;
        }
        const long x = long(std::floor(q.x() * ratio)), y = long(std::floor(q.y() * ratio));
        if (dernierTrou || x != gx || y != gy || i == n - 1) {
            p[garde++] = q;
            gx = x;
            gy = y;
            dernierTrou = false;
        }
    }
    lignes.resize(garde);
}

namespace
{

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

QImage surligne(const QImage &neutre, const Vue &vue, const Scene &scene,
                const std::vector<int> &choisies, QPainter::RenderHints indices,
                QCPPainter::PainterModes modes)
{
    QImage image = neutre.copy();
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
        lignesCourbe(vue, *e.donnees, h.traitChoisi.widthF(), &lignes, &e.cles, &e.valeurs);
        resserrePixels(lignes, vue.ratio);
        p.setAntialiasing(h.lisse);
        p.setPen(h.traitChoisiRaster);
        trace(p, lignes);
    }
    return image;
}
