// SPDX-License-Identifier: GPL-3.0-or-later
#include "kaluacces.h"

// The members reached below, and what the library does with them, may
// change with any release: another one must not build until every entry
// of the register in kaluacces.h has been checked against it.
static_assert(QCUSTOMPLOT_VERSION == 0x020100,
              "the viewer reaches and copies QCustomPlot 2.1.0's internals: go through the "
              "register in kalu/kaluacces.h (entries B1 to B17, CONTRIBUTING.md, \"Upgrading Qt "
              "or QCustomPlot\"), run the tests each names, then change the version checked "
              "here, in kalulignes.cpp and in kalutrace.cpp");

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
struct AccesPlottable : public QCPAbstractPlottable {
    static const QPen &trait(const QCPAbstractPlottable &p) { return p.*(&AccesPlottable::mPen); }
    static const QBrush &fond(const QCPAbstractPlottable &p)
    {
        return p.*(&AccesPlottable::mBrush);
    }
};
struct AccesCourbe : public QCPCurve {
    static const QCPScatterStyle &points(const QCPCurve &c)
    {
        return c.*(&AccesCourbe::mScatterStyle);
    }
};
struct AccesDecorateur : public QCPSelectionDecorator {
    static const QPen &trait(const QCPSelectionDecorator &d) { return d.*(&AccesDecorateur::mPen); }
    static const QBrush &fond(const QCPSelectionDecorator &d)
    {
        return d.*(&AccesDecorateur::mBrush);
    }
    static const QCPScatterStyle &points(const QCPSelectionDecorator &d)
    {
        return d.*(&AccesDecorateur::mScatterStyle);
    }
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

QObjectList &enfantsQt(QObject *parent)
{
    // children() returns the member itself, which is not const: only its
    // room is changed through this.
    return const_cast<QObjectList &>(parent->children());
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

const QPen &trait(const QCPAbstractPlottable &p)
{
    return AccesPlottable::trait(p);
}

const QBrush &fond(const QCPAbstractPlottable &p)
{
    return AccesPlottable::fond(p);
}

const QCPScatterStyle &points(const QCPCurve &c)
{
    return AccesCourbe::points(c);
}

const QPen &trait(const QCPSelectionDecorator &d)
{
    return AccesDecorateur::trait(d);
}

const QBrush &fond(const QCPSelectionDecorator &d)
{
    return AccesDecorateur::fond(d);
}

const QCPScatterStyle &points(const QCPSelectionDecorator &d)
{
    return AccesDecorateur::points(d);
}

} // namespace acces
