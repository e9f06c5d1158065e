// SPDX-License-Identifier: GPL-3.0-or-later
//
// The click index (kaluindex): which curves may lie near a point, exact
// among thousands of curves.
#include <gtest/gtest.h>

#include "carte.h"
#include "kalucarte.h"

namespace
{

using namespace fenetre;

// A click asks the index for the curves near it: among thousands, the one
// under the pointer is still found, with its point shown.
TEST(Proximite, TheIndexFindsTheClickedCurveAmongThousands)
{
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    std::vector<shp::Record> r;
    for (int k = 0; k < 3000; ++k) {
        const double x = k % 60, y = k / 60;
        r.push_back({3, {{{x, y}, {x + 0.1, y + 0.1}, {x + 0.2, y}}}});
    }
    charge(*v, 3, r, "grille.shp");
    cadre(*v, QCPRange(-1, 61), QCPRange(-1, 51), 1000, 800);
    const QCPCurve *cible = qobject_cast<QCPCurve *>(p->plottable(1234));
    const QCPCurveData point = *(cible->data()->begin() + 1);
    clic(p, pixel(p, point.key, point.value));
    ASSERT_EQ(p->selectedPlottables().size(), 1);
    EXPECT_EQ(p->selectedPlottables().first(), cible);
    EXPECT_EQ(sousTitre(*v)->text(),
              QString("shp[1234][0][..][1] = (%1, %2)").arg(point.key).arg(point.value));
}

} // namespace
