// SPDX-License-Identifier: GPL-3.0-or-later
//
// When gestures begin and end (kalugeste): a drag from its first move with
// the left button down to its release, a burst of wheel turns until the
// wheel rests, and wheel turns during a drag until the drag's release. A
// click that does not move is no gesture.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "kalugeste.h"
#include "souris.h"

namespace
{

using namespace fenetre;

class Gestes : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        plot.resize(400, 300);
        plot.replot();
    }
    void bouge(QPoint pos)
    {
        QMouseEvent move(QEvent::MouseMove, pos, plot.mapToGlobal(pos), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&plot, &move);
    }
    // Until the wheel has rested, as the event loop goes.
    bool attendsRepos()
    {
        return QTest::qWaitFor([this] { return fini.count() > 0; }, 10000);
    }

    QCustomPlot plot;
    Geste *geste = new Geste(&plot);
    QSignalSpy commence{geste, &Geste::commence}, fini{geste, &Geste::fini};
};

TEST_F(Gestes, ADragRunsFromItsFirstMoveToItsRelease)
{
    QTest::mousePress(&plot, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    EXPECT_FALSE(geste->enCours()) << "a press alone";
    bouge(QPoint(110, 105));
    bouge(QPoint(120, 110));
    EXPECT_TRUE(geste->enCours());
    EXPECT_EQ(commence.count(), 1);
    QTest::mouseRelease(&plot, Qt::LeftButton, Qt::NoModifier, QPoint(120, 110));
    EXPECT_FALSE(geste->enCours());
    EXPECT_EQ(fini.count(), 1);
}

TEST_F(Gestes, AClickIsNoGesture)
{
    QTest::mouseClick(&plot, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    EXPECT_EQ(commence.count(), 0);
    EXPECT_EQ(fini.count(), 0);
}

TEST_F(Gestes, WheelTurnsEndOnceTheWheelRests)
{
    molette(&plot, QPoint(100, 100), 1);
    molette(&plot, QPoint(100, 100), -1);
    molette(&plot, QPoint(100, 100), 1);
    EXPECT_TRUE(geste->enCours());
    EXPECT_EQ(commence.count(), 1) << "one burst, one gesture";
    ASSERT_TRUE(attendsRepos());
    EXPECT_FALSE(geste->enCours());
    EXPECT_EQ(fini.count(), 1);
}

// The wheel resting while the button is still down does not end the drag:
// its release does, once.
TEST_F(Gestes, WheelTurnsDuringADragEndWithItsRelease)
{
    QTest::mousePress(&plot, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    bouge(QPoint(110, 100));
    molette(&plot, QPoint(110, 100), 1);
    // The wheel rests, the button still down.
    const QTimer *pause = geste->findChild<QTimer *>();
    ASSERT_NE(pause, nullptr);
    ASSERT_TRUE(pause->isActive());
    ASSERT_TRUE(QTest::qWaitFor([pause] { return !pause->isActive(); }, 10000));
    QApplication::processEvents();
    EXPECT_TRUE(geste->enCours()) << "the wheel's rest ended a drag under way";
    EXPECT_EQ(fini.count(), 0);
    QTest::mouseRelease(&plot, Qt::LeftButton, Qt::NoModifier, QPoint(110, 100));
    EXPECT_FALSE(geste->enCours());
    EXPECT_EQ(fini.count(), 1);
    EXPECT_EQ(commence.count(), 1);
}

} // namespace
