// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as built: form, actions, plot set-up, equal scale.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "capture.h"
#include "fenetre.h"

namespace
{

TEST(Window, FormActionsAndTitle)
{
    auto v = fenetre::nouvelle();
    EXPECT_EQ(v->objectName(), "MainWindow");
    EXPECT_EQ(v->windowTitle(), "Kalu");
    ASSERT_NE(v->menuBar(), nullptr);
    EXPECT_TRUE(v->menuBar()->actions().isEmpty());
    ASSERT_NE(v->statusBar(), nullptr);
    EXPECT_FALSE(v->statusBar()->statusTip().isEmpty());

    QToolBar *bar = v->findChild<QToolBar *>("mainToolBar");
    ASSERT_NE(bar, nullptr);
    QList<QAction *> actions = bar->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0]->text(), QString::fromUtf8("&À propos de"));
    EXPECT_EQ(actions[0]->statusTip(), QString::fromUtf8("Boîte de remerciements logiciels"));
    EXPECT_EQ(actions[1]->text(), "&Explorer");
    EXPECT_EQ(actions[1]->statusTip(), "Explorateur de fichier *.shp");
    EXPECT_EQ(actions[0]->parent(), v.get());
    EXPECT_EQ(actions[1]->parent(), v.get());
}

TEST(Window, PlotSetUp)
{
    auto v = fenetre::nouvelle();
    QCustomPlot *p = fenetre::plot(*v);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(int(p->interactions()), 0x3B);
    EXPECT_EQ(p->plottableCount(), 0);
    EXPECT_FALSE(p->legend->visible());
    EXPECT_EQ(p->legend->selectableParts(), QCPLegend::spItems);
    EXPECT_EQ(p->contextMenuPolicy(), Qt::CustomContextMenu);

    EXPECT_EQ(p->xAxis->label(), "Longitude [deg]");
    EXPECT_EQ(p->yAxis->label(), "Latitude [deg]");
    EXPECT_EQ(p->xAxis->range(), QCPRange(-8, 8));
    EXPECT_EQ(p->yAxis->range(), QCPRange(-5, 5));
    EXPECT_EQ(p->xAxis2->range(), QCPRange(-8, 8));
    EXPECT_EQ(p->yAxis2->range(), QCPRange(-5, 5));
    EXPECT_TRUE(p->xAxis2->visible());
    EXPECT_FALSE(p->xAxis2->tickLabels());

    // Title rows above the axis rectangle, empty.
    ASSERT_NE(fenetre::titre(*v), nullptr);
    ASSERT_NE(fenetre::sousTitre(*v), nullptr);
    EXPECT_EQ(fenetre::titre(*v)->text(), "");
    EXPECT_EQ(fenetre::sousTitre(*v)->text(), "");
    EXPECT_EQ(p->plotLayout()->element(2, 0), p->axisRect());

    for (const QFont &f : {p->xAxis->labelFont(), p->yAxis->tickLabelFont(), p->legend->font(),
                           fenetre::titre(*v)->font()}) {
        EXPECT_EQ(f.family(), "Times New Roman");
        EXPECT_EQ(f.pointSize(), 10);
        EXPECT_EQ(f.weight(), QFont::Normal);
        EXPECT_FALSE(f.italic());
    }
    EXPECT_EQ(p->xAxis->grid()->pen().style(), Qt::DashLine);
    EXPECT_EQ(p->xAxis->grid()->pen().color(), QColor(204, 204, 255));
    EXPECT_EQ(p->yAxis->grid()->zeroLinePen().style(), Qt::SolidLine);
    EXPECT_EQ(p->xAxis->selectedBasePen().width(), 2);
    EXPECT_EQ(p->yAxis2->selectedTickPen().color(), QColor(0, 102, 255));
    EXPECT_EQ(p->yAxis->selectedLabelColor(), QColor(0, 102, 255));
}

TEST(Window, TopAndRightAxesFollowOnlyOneWay)
{
    auto v = fenetre::nouvelle();
    QCustomPlot *p = fenetre::plot(*v);
    p->xAxis->setRange(1, 2);
    p->yAxis->setRange(3, 4);
    EXPECT_EQ(p->xAxis2->range(), QCPRange(1, 2));
    EXPECT_EQ(p->yAxis2->range(), QCPRange(3, 4));
    p->xAxis2->setRange(-1, 0);
    EXPECT_EQ(p->xAxis->range(), QCPRange(1, 2));
}

class EqualScale : public ::testing::Test
{
  protected:
    std::unique_ptr<KaluView> v = fenetre::nouvelle();
    QCustomPlot *p = fenetre::plot(*v);
    void SetUp() override { v->show(); }
};

TEST_F(EqualScale, WideRectangleWidensTheBottomAxis)
{
    ASSERT_TRUE(fenetre::fixeAxisRect(*v, 500, 250));
    p->xAxis->setRange(-8, 8);
    p->yAxis->setRange(-5, 5);
    Capture c;
    v->adjustEqualScale();
    Sorties s = c.fin();
    EXPECT_EQ(p->xAxis->range(), QCPRange(-10, 10));
    EXPECT_EQ(p->yAxis->range(), QCPRange(-5, 5));
    EXPECT_NE(s.out.find("ui->customPlot->axisRect()->width()=500\n"
                         "ui->customPlot->axisRect()->height()=250\n"
                         "xr=16.000000, xc=0.000000, dnxl=500.000000\n"
                         "yr=10.000000, yc=0.000000, dnyl=250.000000\n"),
              std::string::npos)
        << s.out;
    EXPECT_EQ(s.out.rfind("ui->customPlot->width()=", 0), 0u) << s.out;
}

TEST_F(EqualScale, SquareRectangleWidensTheLeftAxis)
{
    ASSERT_TRUE(fenetre::fixeAxisRect(*v, 400, 400));
    p->xAxis->setRange(-8, 8);
    p->yAxis->setRange(-5, 5);
    Capture c;
    v->adjustEqualScale();
    c.fin();
    EXPECT_EQ(p->xAxis->range(), QCPRange(-8, 8));
    EXPECT_EQ(p->yAxis->range(), QCPRange(-8, 8));
    EXPECT_EQ(p->yAxis2->range(), QCPRange(-8, 8));
}

TEST_F(EqualScale, OffCentreRangesGrowAboutTheirCentre)
{
    ASSERT_TRUE(fenetre::fixeAxisRect(*v, 300, 100));
    p->xAxis->setRange(10, 12);
    p->yAxis->setRange(40, 42);
    Capture c;
    v->adjustEqualScale();
    c.fin();
    EXPECT_EQ(p->xAxis->range(), QCPRange(8, 14));
    EXPECT_EQ(p->yAxis->range(), QCPRange(40, 42));
}

TEST(EqualScaleEmpty, ZeroSizeRectangleLeavesRangesAndStillPrints)
{
    auto v = fenetre::nouvelle();
    QCustomPlot *p = fenetre::plot(*v);
    // Never shown nor laid out: the axis rectangle has no size yet.
    ASSERT_EQ(p->axisRect()->width() * p->axisRect()->height(), 0);
    Capture c;
    v->adjustEqualScale();
    Sorties s = c.fin();
    EXPECT_EQ(p->xAxis->range(), QCPRange(-8, 8));
    EXPECT_EQ(p->yAxis->range(), QCPRange(-5, 5));
    EXPECT_NE(s.out.find("yr=10.000000, yc=0.000000, dnyl="), std::string::npos) << s.out;
}

TEST(Screenshot, EmptyWindow)
{
    auto v = fenetre::nouvelle();
    v->resize(800, 600);
    v->show();
    Capture c;
    v->adjustEqualScale();
    c.fin();
    fenetre::fixeAxisRect(*v, fenetre::plot(*v)->axisRect()->width(),
                          fenetre::plot(*v)->axisRect()->height());
    QString chemin = fenetre::capture(*v, "kalu-empty");
    EXPECT_TRUE(QFile::exists(chemin));
}

} // namespace
