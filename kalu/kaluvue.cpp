// SPDX-License-Identifier: GPL-3.0-or-later
#include "kaluvue.h"

#include <cmath>

Vue Vue::de(const QCPAxis *x, const QCPAxis *y, bool *ok)
{
    Vue v;
    *ok = x && y && x->axisRect() && x->axisRect() == y->axisRect() &&
          x->orientation() == Qt::Horizontal && y->orientation() == Qt::Vertical &&
          x->scaleType() == QCPAxis::stLinear && y->scaleType() == QCPAxis::stLinear;
    if (!*ok)
        return v;
    v.x = x->range();
    v.y = y->range();
    v.xInverse = x->rangeReversed();
    v.yInverse = y->rangeReversed();
    v.rect = x->axisRect()->rect();
    const QCustomPlot *plot = x->parentPlot();
    v.taille = plot->viewport().size();
    v.ratio = plot->bufferDevicePixelRatio();
    return v;
}

Vue Vue::de(const QCustomPlot *plot, bool *ok)
{
    return de(plot->xAxis, plot->yAxis, ok);
}

QRect Vue::enDevice(const QRectF &p) const
{
    return QRect(QPoint(int(std::floor(p.left() * ratio)), int(std::floor(p.top() * ratio))),
                 QPoint(int(std::ceil(p.right() * ratio)), int(std::ceil(p.bottom() * ratio))));
}
