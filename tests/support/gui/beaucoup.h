// SPDX-License-Identifier: GPL-3.0-or-later
// A window with thousands of curves, the ground of the tests of the legend
// kept for them and of the plot's own lists: generated maps, the window's
// slots called as its menus call them, and the legend checked against the
// curves.
#ifndef KALU_TEST_BEAUCOUP_H
#define KALU_TEST_BEAUCOUP_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "capture.h"
#include "fenetre.h"
#include "kalucarte.h"
#include "shpwriter.h"

using fenetre::charge;

// `records` records of `parts` parts of 3 points each, all of `type`.
inline std::string carte(const std::string &nom, int records, int parts, int type = 3)
{
    std::vector<shp::Record> recs;
    for (int r = 0; r < records; ++r) {
        shp::Record rec{type, {}};
        for (int p = 0; p < parts; ++p)
            rec.parts.push_back({{r, p}, {r + 0.5, p + 0.5}, {r, p + 1.0}});
        recs.push_back(rec);
    }
    std::string chemin = shp::scratchPath(nom);
    EXPECT_TRUE(shp::write(chemin, shp::file(type, recs)));
    return chemin;
}

inline void appelle(KaluView &v, const char *slot)
{
    Capture c;
    EXPECT_TRUE(QMetaObject::invokeMethod(&v, slot));
}

// Legend items in legend order must be exactly the plot's curves in plot
// order, one item each.
inline void legendeSuitLesCourbes(QCustomPlot *p)
{
    Carte::de(p)->faitEntrees(); // a hidden legend's items are made on demand
    ASSERT_EQ(p->legend->itemCount(), p->plottableCount());
    ASSERT_EQ(p->legend->rowCount(), p->plottableCount());
    for (int i = 0; i < p->plottableCount(); ++i) {
        auto *item = qobject_cast<QCPPlottableLegendItem *>(p->legend->item(i));
        ASSERT_NE(item, nullptr) << i;
        ASSERT_EQ(item->plottable(), p->plottable(i)) << i;
        // The name the item draws, made with the item.
        ASSERT_FALSE(item->plottable()->name().isEmpty()) << i;
        ASSERT_EQ(item->plottable()->name(), nomDe(p->plottable(i))) << i;
    }
}

class Beaucoup : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        charge(*v, {carte("beaucoup.shp", 1000, 3)}); // 3000 curves
        ASSERT_EQ(p->plottableCount(), 3000);
    }

    QCPCurve *courbe(int i) { return qobject_cast<QCPCurve *>(p->plottable(i)); }
    QCPAbstractLegendItem *item(int i)
    {
        Carte::de(p)->faitEntrees();
        return p->legend->item(i);
    }

    std::unique_ptr<KaluView> v = fenetre::nouvelle();
    QCustomPlot *p = fenetre::plot(*v);
};

#endif
