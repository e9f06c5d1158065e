// SPDX-License-Identifier: GPL-3.0-or-later
// A registry's ground on a plot without a window: the plot, its curves'
// layer, and a map that hears nothing of its curves.
#ifndef KALU_TEST_TUTELLE_H
#define KALU_TEST_TUTELLE_H

#include <gtest/gtest.h>

#include "kalucourbe.h"

struct Tutelle : Courbe::Tutelle {
    void oublie(int) override {}
    void suspecte(int) override {}
    bool repond(const Courbe *, const QPointF &, bool, double *, QVariant *) override
    {
        return false;
    }
};

struct Toile {
    Toile() { EXPECT_TRUE(plot.addLayer(QStringLiteral("courbes"))); }
    QCPLayer *couche() { return plot.layer(QStringLiteral("courbes")); }

    QCustomPlot plot;
    Tutelle tutelle;
};

#endif
