// SPDX-License-Identifier: GPL-3.0-or-later
// The window as a desktop program: files dropped on it, its keyboard
// shortcuts, its icon, and the status bar's message under status tips.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <string>

#include "capture.h"
#include "fenetre.h"
#include "modal.h"
#include "shpwriter.h"

namespace
{

QString ecrit(const std::string &nom, int parts)
{
    shp::Record r{3, {}};
    for (int k = 0; k < parts; ++k)
        r.parts.push_back({{k, 10.0 + k}, {k + 1.0, 11.0 + k}});
    const std::string chemin = shp::scratchPath(nom);
    EXPECT_TRUE(shp::write(chemin, shp::file(3, {r})));
    return QString::fromStdString(chemin);
}

class Fenetre : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }

    void SetUp() override { v->show(); }

    // Shortcuts act in the active window only; a closed dialog gives the
    // activation back later.
    void tape(const QKeySequence &touches)
    {
        v->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(v.get()));
        QTest::keySequence(v.get(), touches);
    }

    // Drags `urls` onto the window and drops them; whether the window took
    // the drag and the drop, and what the (queued) loading wrote.
    Sorties depose(const QList<QUrl> &urls, bool &entree, bool &depot)
    {
        QMimeData donnees;
        donnees.setUrls(urls);
        donnees.setText("texte");
        const QPoint ici = v->rect().center();
        QDragEnterEvent ev(ici, Qt::CopyAction, &donnees, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(v.get(), &ev);
        entree = ev.isAccepted();
        QDropEvent lache(ici, Qt::CopyAction, &donnees, Qt::LeftButton, Qt::NoModifier);
        Capture c;
        QApplication::sendEvent(v.get(), &lache);
        depot = lache.isAccepted();
        QApplication::processEvents();
        fenetre::attendsChargement(*v);
        return c.fin();
    }

    std::unique_ptr<KaluView> v = fenetre::nouvelle();
    QCustomPlot *p = fenetre::plot(*v);
};

TEST_F(Fenetre, DroppedLocalFilesLoadInOrderAsTheExplorerLoadsThem)
{
    const QString a = ecrit("un.shp", 1), b = ecrit("deux.shp", 2);
    bool entree = false, depot = false;
    Sorties s = depose({QUrl::fromLocalFile(a)}, entree, depot);
    EXPECT_TRUE(entree && depot);
    EXPECT_EQ(s.out.rfind("Nombre fichiers *.shp : 1\n", 0), 0u) << s.out;
    EXPECT_EQ(p->plottableCount(), 1);

    // The plot is cleared first; the second file is the last loaded.
    s = depose({QUrl::fromLocalFile(b), QUrl::fromLocalFile(a)}, entree, depot);
    EXPECT_EQ(s.out.rfind("Nombre fichiers *.shp : 2\n", 0), 0u) << s.out;
    EXPECT_EQ(p->plottableCount(), 3);
    EXPECT_EQ(nomDe(p->plottable(1)), "shp[0][1]");
    EXPECT_EQ(fenetre::titre(*v)->text(), QString("Shapefile: '%1'").arg(a));
    EXPECT_LE(p->yAxis->range().lower, 10); // rescaled to both files
    EXPECT_GE(p->yAxis->range().upper, 12);

    // Nothing local: refused while dragging, and the drop changes nothing.
    s = depose({QUrl("https://example.org/trois.shp")}, entree, depot);
    EXPECT_FALSE(entree);
    EXPECT_FALSE(depot);
    EXPECT_EQ(s.out + s.err, "");
    EXPECT_EQ(p->plottableCount(), 3);
}

TEST_F(Fenetre, CtrlOOpensTheExplorerF1TheAboutBox)
{
    QString ouverte;
    fenetre::repondra<QFileDialog>([&](QFileDialog *d) {
        ouverte = "dialogue";
        d->reject();
        return true;
    });
    tape(QKeySequence::Open);
    EXPECT_EQ(ouverte, "dialogue");
    EXPECT_EQ(v->statusBar()->currentMessage(), "naf");

    fenetre::repondra<QMessageBox>([&](QMessageBox *m) {
        ouverte = m->windowTitle();
        m->reject();
        return true;
    });
    tape(QKeySequence::HelpContents);
    EXPECT_EQ(ouverte, QString::fromUtf8("À propos de"));
}

TEST_F(Fenetre, CtrlQEndsTheEventLoop)
{
    // Ctrl+Q also where the platform has no quit key (Windows).
    QTimer::singleShot(0, v.get(), [this] { tape(QKeySequence(Qt::CTRL | Qt::Key_Q)); });
    bool garde = false; // the loop did not end by itself
    QTimer::singleShot(5000, qApp, [&garde] {
        garde = true;
        QApplication::exit(1);
    });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(garde);
    EXPECT_FALSE(v->isVisible());
}

TEST_F(Fenetre, IconFromTheCoreLibrarysResource)
{
    const QIcon icone = v->windowIcon();
    EXPECT_TRUE(icone.availableSizes().contains(QSize(48, 48)));
    EXPECT_TRUE(icone.availableSizes().contains(QSize(256, 256)));
    EXPECT_FALSE(icone.pixmap(48).isNull());
}

// Leaving an action sends an empty status tip: the last message comes
// back, until another one replaces it.
TEST_F(Fenetre, NafComesBackWhenTheStatusTipGoes)
{
    fenetre::repondra<QFileDialog>([](QFileDialog *d) {
        d->reject();
        return true;
    });
    EXPECT_TRUE(fenetre::declenche(*v, "&Explorer"));
    ASSERT_EQ(v->statusBar()->currentMessage(), "naf");
    auto infobulle = [this](const QString &texte) {
        QStatusTipEvent ev(texte);
        QApplication::sendEvent(v.get(), &ev);
        return v->statusBar()->currentMessage();
    };
    EXPECT_EQ(infobulle("Explorateur de fichier *.shp"), "Explorateur de fichier *.shp");
    EXPECT_EQ(infobulle(""), "naf");
    v->statusBar()->showMessage("autre");
    EXPECT_EQ(infobulle("Boîte de remerciements logiciels"),
              QString::fromUtf8("Boîte de remerciements logiciels"));
    EXPECT_EQ(infobulle(""), "autre");
    v->statusBar()->clearMessage();
    EXPECT_EQ(infobulle(""), "");
}

} // namespace

namespace
{

// Home frames the whole map again as the load's end framed it; the status
// bar's right end follows the pointer over the plot in data coordinates,
// and leaves the load's outcome in place.
TEST_F(Fenetre, HomeFramesTheMapAndThePointerShowsWhereItIs)
{
    Capture c;
    fenetre::chargeEtAttends(*v, {ecrit("accueil.shp", 5)});
    c.fin();
    const QCPRange x = p->xAxis->range(), y = p->yAxis->range();
    p->xAxis->setRange(40, 41);
    p->yAxis->setRange(-3, -2);
    p->replot();
    tape(QKeySequence(Qt::Key_Home));
    EXPECT_NEAR(p->xAxis->range().lower, x.lower, 1e-9 * x.size());
    EXPECT_NEAR(p->xAxis->range().upper, x.upper, 1e-9 * x.size());
    EXPECT_NEAR(p->yAxis->range().lower, y.lower, 1e-9 * y.size());
    EXPECT_NEAR(p->yAxis->range().upper, y.upper, 1e-9 * y.size());

    ASSERT_TRUE(fenetre::attendsImage(p));
    const QString issue = v->statusBar()->currentMessage();
    EXPECT_EQ(issue, "5 shapes");
    const QPoint ici(p->xAxis->coordToPixel(2.5), p->yAxis->coordToPixel(12.25));
    QTest::mouseMove(p, ici);
    QMouseEvent bouge(QEvent::MouseMove, ici, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(p, &bouge);
    QLabel *pointeur = nullptr;
    for (QLabel *l : v->statusBar()->findChildren<QLabel *>())
        if (l->text().contains(", "))
            pointeur = l;
    ASSERT_NE(pointeur, nullptr);
    const QStringList lu = pointeur->text().split(", ");
    ASSERT_EQ(lu.size(), 2);
    const double px = p->xAxis->range().size() / p->axisRect()->width();
    EXPECT_NEAR(lu[0].toDouble(), 2.5, px);
    EXPECT_NEAR(lu[1].toDouble(), 12.25, px);
    EXPECT_EQ(v->statusBar()->currentMessage(), issue);
}

} // namespace
