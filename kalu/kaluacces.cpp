// SPDX-License-Identifier: GPL-3.0-or-later
#include "kaluacces.h"

// The members reached below, and what the library does with them, may
// change with any release: another one must not build until they have been
// checked against it.
static_assert(
    QCUSTOMPLOT_VERSION == 0x020100,
    "kaluacces.cpp reaches QCustomPlot::mPlottables, QCPLayer::mChildren and "
    "QCPLayerable::mLayer as QCustomPlot 2.1.0 keeps them: check in the new release that "
    "they hold the same and that addPlottable, removePlottable, QCPLayer's children and "
    "QCPLayerable::setLayer keep nothing else in step with them, run kalu_test_manycurves "
    "and kalu_test_carte, then change the version checked here");

namespace
{

// Never instantiated: each only names a protected member.
struct AccesPlot : public QCustomPlot {
    static QList<QCPAbstractPlottable *> &plottables(QCustomPlot *plot)
    {
        return plot->*(&AccesPlot::mPlottables);
    }
};
struct AccesCouche : public QCPLayer {
    static QList<QCPLayerable *> &enfants(QCPLayer *couche)
    {
        return couche->*(&AccesCouche::mChildren);
    }
};
struct AccesLayerable : public QCPLayerable {
    static QCPLayer *&couche(QCPLayerable *l) { return l->*(&AccesLayerable::mLayer); }
};

} // namespace

namespace acces
{

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
    if (l->layer() == vers)
        return;
    QList<QCPLayerable *> &depuis = enfants(l->layer());
    Q_ASSERT(!depuis.isEmpty() && depuis.last() == l);
    enfants(vers).append(l); // first: should it fail, nothing moved
    depuis.removeLast();
    AccesLayerable::couche(l) = vers;
}

void oublieCouche(QCPLayerable *l)
{
    AccesLayerable::couche(l) = nullptr;
}

} // namespace acces
