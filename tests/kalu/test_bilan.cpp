// SPDX-License-Identifier: GPL-3.0-or-later
// The load's outcome in words: numbers grouped by three whatever the
// locale, what a stop kept, the files skipped in order, and nothing carried
// over to the next load.
#include <gtest/gtest.h>

#include "kalubilan.h"

namespace
{

TEST(Bilan, NumbersAreGroupedByThree)
{
    const std::pair<long long, const char *> cas[] = {{0, "0"},
                                                      {999, "999"},
                                                      {1000, "1,000"},
                                                      {45558, "45,558"},
                                                      {-45558, "-45,558"},
                                                      {1000080, "1,000,080"},
                                                      {123456789012, "123,456,789,012"}};
    for (const auto &c : cas)
        EXPECT_EQ(Bilan::enChiffres(c.first), c.second);
    EXPECT_EQ(Bilan::formes(1), "1 shape");
    EXPECT_EQ(Bilan::formes(2), "2 shapes");
}

TEST(Bilan, AnEndTellsWhatWentWrongElseTheShapes)
{
    Bilan b;
    EXPECT_EQ(b.fin(0), "");
    EXPECT_EQ(b.fin(3), "3 shapes");
    b.illisible("a.shp");
    b.typeNonDessine("z.shp", "PolygonZ");
    b.illisible("b.shp");
    b.tronque("c.shp", 45558);
    b.vide("d.shp");
    b.tropGros("e.shp");
    EXPECT_EQ(b.fin(7), "'a.shp', 'b.shp' could not be read; 'z.shp': PolygonZ shapes are not "
                        "drawn; 'c.shp' is cut short: 45,558 records drawn; 'd.shp' holds no "
                        "shape; 'e.shp' is too big for the memory left");
    EXPECT_EQ(b.fin(7), "7 shapes") << "the last load's outcome carried over";
}

TEST(Bilan, AStopTellsWhatItKept)
{
    Bilan b;
    EXPECT_EQ(b.arret("nc.shp", 412000, 1000080, 41),
              "Loading stopped: 412,000 of 1,000,080 parts of 'nc.shp'");
    EXPECT_EQ(b.arret("nc.shp", 0, -1, 3), "Loading stopped: 0 parts of 'nc.shp' (3 %)");
    b.illisible("a.shp");
    EXPECT_EQ(b.arret(), "Loading stopped; 'a.shp' could not be read");
    EXPECT_EQ(b.arret(), "Loading stopped");
}

} // namespace
