// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalugeste.h"

#include "qcustomplot.h"

Geste::Geste(QCustomPlot *plot) : QObject(plot)
{
    connect(plot, &QCustomPlot::mousePress, this, &Geste::appui);
    connect(plot, &QCustomPlot::mouseMove, this, &Geste::mouvement);
    connect(plot, &QCustomPlot::mouseRelease, this, &Geste::relache);
    connect(plot, &QCustomPlot::mouseWheel, this, &Geste::molette);
    pause.setSingleShot(true);
    pause.setInterval(PAUSE_MOLETTE);
    connect(&pause, &QTimer::timeout, this, &Geste::repos);
}

void Geste::debute()
{
    if (!geste) {
        geste = true;
        emit commence();
    }
}

void Geste::appui(QMouseEvent *event)
{
    appuye = event->buttons() & Qt::LeftButton;
}

void Geste::mouvement(QMouseEvent *event)
{
    if (appuye && (event->buttons() & Qt::LeftButton))
        debute();
}

void Geste::relache()
{
    appuye = false;
    if (geste && !pause.isActive()) {
        geste = false;
        emit fini();
    }
}

void Geste::molette()
{
    debute();
    pause.start();
}

void Geste::repos()
{
    if (appuye)
        return; // a drag goes on; its release ends it
    geste = false;
    emit fini();
}
