// SPDX-License-Identifier: GPL-3.0-or-later
//
// A load's status bar (kaluchargement's Progression): the file and how far
// along it is, the window still taking input (the Explorer opens), the
// message and the busy pointer gone at the end.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QStatusBar>
#include <QToolButton>

#include "carte.h"
#include "kalucarte.h"
#include "modal.h"

namespace
{

using namespace fenetre;

// During a load the status bar tells the file and how far along it is, the
// Explorer opens (its dialog cancelled here, the load going on), and the
// message goes at the end with the busy pointer.
TEST(BarreDEtat, ALoadShowsItsProgressAndTheExplorerStillOpens)
{
    auto v = nouvelle();
    v->show();
    QStatusBar *barre = v->findChild<QStatusBar *>();
    barre->showMessage("naf", 0);
    std::vector<shp::Record> r;
    for (int k = 0; k < 3000; ++k)
        r.push_back({3, {{{k * 0.01, 0}, {k * 0.01, 1}}}});
    const std::string chemin = shp::scratchPath("progression.shp");
    ASSERT_TRUE(shp::write(chemin, shp::file(3, r)));

    QStringList messages;
    bool dialogue = false;
    QObject::connect(barre, &QStatusBar::messageChanged, [&](const QString &m) {
        messages << m;
        if (messages.size() == 1) {
            QTimer::singleShot(0, [&] {
                QToolButton *explorer = nullptr;
                for (QToolButton *b : v->findChildren<QToolButton *>())
                    if (b->defaultAction() && b->defaultAction()->text() == "&Explorer")
                        explorer = b;
                ASSERT_NE(explorer, nullptr);
                repondra<QFileDialog>([&](QFileDialog *d) {
                    dialogue = v->chargeEnCours();
                    d->reject();
                    return true;
                });
                QTest::mouseClick(explorer, Qt::LeftButton);
            });
        }
    });
    Capture c;
    fenetre::chargeEtAttends(*v, {QString::fromStdString(chemin)});
    c.fin();
    QApplication::processEvents();
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_EQ(messages.first(), QString("Lecture de « progression.shp » : 0 %"));
    EXPECT_TRUE(dialogue) << "the Explorer did not open during the load";
    EXPECT_EQ(plot(*v)->plottableCount(), 3000);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // The progress stays until the picture is complete, then the outcome.
    EXPECT_TRUE(fenetre::attendsImage(plot(*v)));
    EXPECT_EQ(barre->currentMessage(), "3,000 shapes");
}

} // namespace
