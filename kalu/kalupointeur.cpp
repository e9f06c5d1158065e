// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalupointeur.h"

#include "qcustomplot.h"

#include <algorithm>
#include <cmath>

Pointeur::Pointeur()
{
    setMinimumWidth(fontMetrics().horizontalAdvance("-000.0000, -00.0000"));
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void Pointeur::montre(const QCustomPlot *plot, const QPoint &pos)
{
    const QCPAxisRect *rect = plot->xAxis->axisRect();
    if (!rect->rect().contains(pos)) {
        clear();
        return;
    }
    const double x = plot->xAxis->pixelToCoord(pos.x());
    const double y = plot->yAxis->pixelToCoord(pos.y());
    const double px = plot->xAxis->range().size() / std::max(1, rect->width());
    const double py = plot->yAxis->range().size() / std::max(1, rect->height());
    setText(QString("%1, %2").arg(ecrit(x, px), ecrit(y, py)));
}

QString Pointeur::ecrit(double v, double pixel)
{
    const int chiffres = pixel > 0 ? std::max(0, int(std::ceil(-std::log10(pixel)))) : 0;
    return QString::number(v, 'f', std::min(chiffres, 12));
}
