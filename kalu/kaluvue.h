// SPDX-License-Identifier: GPL-3.0-or-later
//
// kaluvue: what a drawing of the curves depends on besides the curves, as a
// plain value: the two axes' ranges, the axis rectangle, the plot's viewport
// and its device pixel ratio. Its pixel transform is the axes' own formula,
// term for term, so that a drawing made from a Vue on any thread puts every
// point on the pixel the live axes would.
//
// Threads: a Vue is made on the GUI thread (Vue::de); once made it is a
// value, read on any thread.
#ifndef KALUVUE_H
#define KALUVUE_H

#include <QPointF>
#include <QRect>
#include <QSize>

#include "qcustomplot.h"

struct Vue {
    QCPRange x, y; // bottom and left axes
    bool xInverse = false, yInverse = false;
    QRect rect;      // the axis rectangle, in pixels
    QSize taille;    // the plot's viewport
    qreal ratio = 1; // device pixels per pixel

    // The view of the axes `x` and `y` of a plot now. False in `ok` when
    // they are not the linear horizontal and vertical pair a Vue describes.
    static Vue de(const QCPAxis *x, const QCPAxis *y, bool *ok);
    // That of `plot`'s bottom and left axes.
    static Vue de(const QCustomPlot *plot, bool *ok);

    // QCPAxis::coordToPixel of the bottom and left axes (entry B9 of the
    // register in kaluacces.h).
    double pixelX(double cle) const
    {
        return !xInverse ? (cle - x.lower) / x.size() * rect.width() + rect.left()
                         : (x.upper - cle) / x.size() * rect.width() + rect.left();
    }
    double pixelY(double valeur) const
    {
        return !yInverse ? rect.bottom() - (valeur - y.lower) / y.size() * rect.height()
                         : rect.bottom() - (y.upper - valeur) / y.size() * rect.height();
    }
    QPointF pixel(double cle, double valeur) const { return QPointF(pixelX(cle), pixelY(valeur)); }

    // QCPAxis::pixelToCoord of the bottom and left axes.
    double cleX(double px) const
    {
        return !xInverse ? (px - rect.left()) / double(rect.width()) * x.size() + x.lower
                         : -(px - rect.left()) / double(rect.width()) * x.size() + x.upper;
    }
    double valeurY(double py) const
    {
        return !yInverse ? (rect.bottom() - py) / double(rect.height()) * y.size() + y.lower
                         : -(rect.bottom() - py) / double(rect.height()) * y.size() + y.upper;
    }

    // Where the curves draw, in pixels: the axis rectangle one row up, as
    // their layer clips them (entry B10 of the register in kaluacces.h).
    QRect zone() const { return rect.translated(0, -1); }

    // The device pixels that cover `pixels`, whole.
    QRect enDevice(const QRectF &pixels) const;

    bool operator==(const Vue &v) const
    {
        return x.lower == v.x.lower && x.upper == v.x.upper && y.lower == v.y.lower &&
               y.upper == v.y.upper && xInverse == v.xInverse && yInverse == v.yInverse &&
               rect == v.rect && taille == v.taille && ratio == v.ratio;
    }
    bool operator!=(const Vue &v) const { return !(*this == v); }
};

#endif
