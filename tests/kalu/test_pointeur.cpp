// SPDX-License-Identifier: GPL-3.0-or-later
// The pointer's read-out: as many decimals as a pixel needs, no fewer than
// none and no more than twelve, and nothing outside the axis rectangle.
#include <gtest/gtest.h>

#include "kalupointeur.h"
#include "qcustomplot.h"

namespace
{

TEST(Pointeur, ThePixelDecidesTheDecimals)
{
    const std::tuple<double, double, const char *> cas[] = {
        {2.5, 1.0, "3"},                    // a pixel of a degree: whole degrees
        {2.5, 250.0, "3"},                  // wider still: never a negative precision
        {-12.3456, 0.01, "-12.35"},         // a power of ten: its decimals exactly
        {-12.3456, 0.003, "-12.346"},       // between two: the finer one
        {1.0 / 3, 1e-20, "0.333333333333"}, // at most twelve
        {7.25, 0.0, "7"},                   // an empty range tells nothing apart
        {7.25, -0.1, "7"}};
    for (const auto &c : cas)
        EXPECT_EQ(Pointeur::ecrit(std::get<0>(c), std::get<1>(c)), std::get<2>(c))
            << std::get<0>(c) << " at " << std::get<1>(c);
}

TEST(Pointeur, ShowsThePointInsideTheAxisRectangleOnly)
{
    QCustomPlot plot;
    plot.resize(400, 300);
    plot.setViewport(plot.rect());
    plot.xAxis->setRange(10, 20);
    plot.yAxis->setRange(-5, 5);
    plot.replot();
    const QRect rect = plot.axisRect()->rect();
    Pointeur pointeur;
    pointeur.montre(&plot, rect.center());
    const QStringList lu = pointeur.text().split(", ");
    ASSERT_EQ(lu.size(), 2) << pointeur.text().toStdString();
    // Ten degrees over some 300 pixels: two decimals.
    EXPECT_EQ(lu[0].section('.', 1).size(), 2);
    EXPECT_NEAR(lu[0].toDouble(), plot.xAxis->pixelToCoord(rect.center().x()), 0.01);
    EXPECT_NEAR(lu[1].toDouble(), plot.yAxis->pixelToCoord(rect.center().y()), 0.01);
    pointeur.montre(&plot, rect.topLeft() - QPoint(2, 2));
    EXPECT_TRUE(pointeur.text().isEmpty());
}

} // namespace
