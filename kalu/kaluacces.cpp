// SPDX-License-Identifier: GPL-3.0-or-later
#include "kaluacces.h"

namespace {

// Never instantiated: each only names a protected member.
struct AccesPlot : public QCustomPlot {
    static QList<QCPAbstractPlottable *> &plottables(QCustomPlot *plot)
    {
        return plot->*(&AccesPlot::mPlottables);
    }
};
struct AccesCouche : public QCPLayer {
    static QList<QCPLayerable *> &enfants(QCPLayer *couche) { return couche->*(&AccesCouche::mChildren); }
};
struct AccesLayerable : public QCPLayerable {
    static QCPLayer *&couche(QCPLayerable *l) { return l->*(&AccesLayerable::mLayer); }
};

} // namespace

namespace acces {

QList<QCPAbstractPlottable *> &plottables(QCustomPlot *plot)
{
    return AccesPlot::plottables(plot);
}

QList<QCPLayerable *> &enfants(QCPLayer *couche)
{
    return AccesCouche::enfants(couche);
}

void demenage(QCPLayerable *l, QCPLayer *vers)
{
    QList<QCPLayerable *> &depuis = enfants(l->layer());
    Q_ASSERT(!depuis.isEmpty() && depuis.last() == l);
    depuis.removeLast();
    enfants(vers).append(l);
    AccesLayerable::couche(l) = vers;
}

void oublieCouche(QCPLayerable *l)
{
    AccesLayerable::couche(l) = nullptr;
}

} // namespace acces
