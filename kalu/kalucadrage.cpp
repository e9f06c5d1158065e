// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalucadrage.h"

#include "kalulecture.h"
#include "qcustomplot.h"
#include "zolshp.h"

#include <cmath>

void Cadrage::cadre(const Registre::Etendue &e) const
{
    if (!e.trouvee)
        return;
    for (auto paire : {std::make_pair(plot->xAxis, e.x), std::make_pair(plot->yAxis, e.y)}) {
        QCPRange r = paire.second;
        if (!QCPRange::validRange(r)) {
            const double centre = (r.lower + r.upper) * 0.5, taille = paire.first->range().size();
            r.lower = centre - taille / 2.0;
            r.upper = centre + taille / 2.0;
        }
        paire.first->setRange(r);
    }
}

void Cadrage::metEnPage() const
{
    QCPLayoutGrid *mise = plot->plotLayout();
    mise->update(QCPLayoutElement::upPreparation);
    mise->update(QCPLayoutElement::upMargins);
    mise->update(QCPLayoutElement::upLayout);
}

void Cadrage::egalise() const
{
    QCPAxisRect *rect = plot->xAxis->axisRect();
    const QCPRange x = plot->xAxis->range();
    const double xr = x.upper - x.lower, xc = (x.upper + x.lower) * 0.5;
    const double dnxl = rect->width();
    const QCPRange y = plot->yAxis->range();
    const double yr = y.upper - y.lower, yc = (y.upper + y.lower) * 0.5;
    const double dnyl = rect->height();

    // An empty rectangle gives infinite or undefined bounds, which setRange
    // refuses: both ranges then stay as they are.
    const double w = yr / dnyl * dnxl;
    if (w > xr) {
        plot->xAxis->setRange(xc - w * 0.5, xc + w * 0.5);
    } else {
        const double h = xr / dnxl * dnyl;
        plot->yAxis->setRange(yc - h * 0.5, yc + h * 0.5);
    }
}

// The tick labels of the new ranges may move the rectangle's sides again,
// hence a few rounds.
void Cadrage::gardeEchelle(QSize avant) const
{
    if (avant.isEmpty()) { // never laid out: no scale to keep
        metEnPage();
        return;
    }
    const double ux = plot->xAxis->range().size() / avant.width();
    const double uy = plot->yAxis->range().size() / avant.height();
    QSize taille = avant;
    for (int tour = 0; tour < 4; ++tour) {
        metEnPage();
        const QSize mesure = plot->xAxis->axisRect()->rect().size();
        if (mesure == taille || mesure.isEmpty())
            break;
        taille = mesure;
        const double xc = plot->xAxis->range().center(), yc = plot->yAxis->range().center();
        const double w = ux * taille.width(), h = uy * taille.height();
        plot->xAxis->setRange(xc - w * 0.5, xc + w * 0.5);
        plot->yAxis->setRange(yc - h * 0.5, yc + h * 0.5);
    }
}

void Cadrage::egaliseSur(const std::function<void()> &egaliseur) const
{
    metEnPage();
    egaliseur();
    gardeEchelle(plot->xAxis->axisRect()->rect().size());
}

// Keeping the scale through the labels' moves narrows the ranges when the
// rectangle narrows: past a point drawn, the map's sides would be cut.
void Cadrage::couvre(const Registre::Etendue &e, const std::function<void()> &recadre) const
{
    for (int tour = 0; tour < 4; ++tour) {
        if (!e.trouvee ||
            (plot->xAxis->range().contains(e.x.lower) && plot->xAxis->range().contains(e.x.upper) &&
             plot->yAxis->range().contains(e.y.lower) && plot->yAxis->range().contains(e.y.upper)))
            return;
        recadre();
        metEnPage();
        egalise();
        metEnPage();
    }
}

void Cadrage::cadreFin(const Registre::Etendue &e, const std::function<void()> &recadre,
                       const QCPRange &avantX, const QCPRange &avantY,
                       const std::function<void()> &egaliseur) const
{
    if (e.trouvee) {
        recadre();
    } else {
        plot->xAxis->setRange(avantX);
        plot->yAxis->setRange(avantY);
    }
    egaliseSur(egaliseur);
    couvre(e, recadre);
}

// As the end does: the labels' moves must not leave the view narrower than
// the box, or the end would fit again and the pictures begin anew.
void Cadrage::cadrePrevu(const Registre::Etendue &prevue) const
{
    cadre(prevue);
    egaliseSur([this] { egalise(); });
    couvre(prevue, [this, &prevue] { cadre(prevue); });
}

Registre::Etendue Cadrage::prevue(Registre::Etendue deja, const Lecture *lue, const char *chemin)
{
    QCPRange x, y;
    double x0, y0, x1, y1;
    long long taille = 0;
    if (lue && lue->boite(x, y))
        deja.ajoute(x, y);
    else if (chemin && boite_shp(chemin, x0, y0, x1, y1, taille) && x0 <= x1 && y0 <= y1 &&
             std::isfinite(x1 - x0) && std::isfinite(y1 - y0))
        deja.ajoute(QCPRange(x0, x1), QCPRange(y0, y1));
    return deja;
}
