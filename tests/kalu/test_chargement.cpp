// SPDX-License-Identifier: GPL-3.0-or-later
//
// A load is a job beside the user: meanwhile the window takes gestures,
// clicks, removals and the About box on the map drawn so far, a view the
// user set is kept, and the load can be stopped, replaced or emptied; what
// it prints and makes at its end is what the loader always made.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QRegularExpression>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <sstream>

#include "carte.h"
#include "kalusonde.h"
#include "modal.h"

namespace
{

using namespace fenetre;

// A few thousand parts: records of one or two lines.
std::vector<shp::Record> traits(int n)
{
    std::vector<shp::Record> r;
    for (int k = 0; k < n; ++k) {
        const double x = k % 70, y = k / 70;
        if (k % 3 == 0)
            r.push_back({3, {{{x, y}, {x + 0.5, y + 0.5}}, {{x, y + 0.5}, {x + 0.5, y}}}});
        else
            r.push_back({3, {{{x, y}, {x + 0.4, y + 0.2}, {x + 0.8, y}}}});
    }
    return r;
}

int parties(const std::vector<shp::Record> &r)
{
    int n = 0;
    for (const shp::Record &e : r)
        n += int(e.parts.size());
    return n;
}

// The loader's lines for `records`, in file order.
std::string lignesAttendues(const std::vector<shp::Record> &records)
{
    std::ostringstream o;
    for (size_t i = 0; i < records.size(); ++i) {
        o << "rcdi=" << i << ", partn=" << records[i].parts.size() << "\n";
        for (size_t p = 0; p < records[i].parts.size(); ++p)
            o << "parti=" << p << "\n";
    }
    return o.str();
}

// The file of `r`, its header declaring the box given.
shp::Bytes avecBoite(int type, const std::vector<shp::Record> &r, double x0, double y0, double x1,
                     double y1)
{
    shp::Bytes b = shp::file(type, r);
    const shp::Bytes h = shp::header(type, b.size(), x0, y0, x1, y1);
    std::copy(h.begin(), h.end(), b.begin());
    return b;
}

// The file of `r`, its header declaring the points' box, as a writer
// does: the load's view is the end's from the first curve on, wherever the
// reading is when a test acts.
std::string ecrit(const std::string &nom, int type, const std::vector<shp::Record> &r)
{
    double x0 = qInf(), y0 = qInf(), x1 = -qInf(), y1 = -qInf();
    for (const shp::Record &e : r)
        for (const shp::Part &partie : e.parts)
            for (const shp::Point &q : partie) {
                x0 = std::min(x0, q.first), x1 = std::max(x1, q.first);
                y0 = std::min(y0, q.second), y1 = std::max(y1, q.second);
            }
    const std::string chemin = shp::scratchPath(nom);
    EXPECT_TRUE(
        shp::write(chemin, x0 <= x1 ? avecBoite(type, r, x0, y0, x1, y1) : shp::file(type, r)));
    return chemin;
}

// Loads `chemin`, during which another load is chosen, and waits for that
// one's end too.
void chargeEtLaSuivante(KaluView &v, const std::string &chemin)
{
    Capture c;
    chargeEtAttends(v, liste({chemin}));
    attendsChargement(v);
    c.fin();
}

// The process's threads, as the kernel counts them.
int fils()
{
    return QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

// Runs `action` once, as soon as the load under way has drawn a picture
// holding curves (the map is there to act on), then lets the load go on.
void pendantLeChargement(KaluView &v, std::function<void()> action, size_t parties = 1)
{
    QCustomPlot *p = plot(v);
    auto fait = std::make_shared<bool>(false);
    QObject::connect(p, &QCustomPlot::afterReplot, &v, [&v, p, fait, action, parties] {
        // Once a picture holding `parties` parts shows and the first curve
        // is made: a picture may hold parts whose curves are still to be made.
        if (*fait || !v.chargeEnCours() || Sonde(::Carte::de(p)).courbesEbauchees() < parties ||
            p->plottableCount() == 0)
            return;
        *fait = true;
        QTimer::singleShot(0, &v, action);
    });
}

// The window on its own, shown, 700 x 500.
std::unique_ptr<KaluView> montree()
{
    auto v = nouvelle();
    v->resize(700, 500);
    v->show();
    v->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(v.get()));
    return v;
}

TEST(ChargementFenetre, EverythingWorksOnTheMapDrawnSoFarAndTheUsersViewIsKept)
{
    auto v = montree();
    QCustomPlot *p = plot(*v);
    // The first record in the middle of the others.
    std::vector<shp::Record> r = traits(60000);
    std::swap(r[0], r[29995]); // at (35, 428)
    const std::string chemin = ecrit("vivant.shp", 3, r);
    bool pendant = false, apropos = false, clique = false;
    QCPRange vueX, vueY;
    pendantLeChargement(*v, [&] {
        pendant = v->chargeEnCours();
        // The wheel, close in on the first curve: the view changes at once,
        // curves still coming.
        molette(p, pixel(p, 35.0, 428.0), 20);
        vueX = p->xAxis->range();
        vueY = p->yAxis->range();
        // A click on a curve made: selected, its point read out.
        const QPoint ici = pixel(p, 35.0, 428.0);
        clic(p, ici);
        clique = !p->selectedPlottables().isEmpty();
        if (clique)
            QMetaObject::invokeMethod(v.get(), "removeSelectedGraph");
        // About (F1), answered from a timer.
        repondra<QMessageBox>([&](QMessageBox *box) {
            apropos = true;
            box->done(0);
            return true;
        });
        QTest::keySequence(v.get(), QKeySequence::HelpContents);
    });
    charge(*v, liste({chemin}));
    ASSERT_TRUE(pendant) << "the actions came after the load";
    EXPECT_TRUE(clique);
    EXPECT_TRUE(apropos);
    EXPECT_TRUE(fenetre::sousTitre(*v)->text().startsWith("shp[0][0][..][0] = (35, 428)"))
        << fenetre::sousTitre(*v)->text().toStdString();
    EXPECT_EQ(p->plottableCount(), parties(r) - 1) << "the removed curve came back";
    EXPECT_EQ(p->xAxis->range(), vueX) << "the load fitted the view the user set";
    EXPECT_EQ(p->yAxis->range(), vueY);
    attendsImage(p);
    EXPECT_EQ(parties(r), 80000);
    EXPECT_EQ(v->statusBar()->currentMessage(), "79,999 shapes");
    EXPECT_TRUE(commeLaBibliotheque(*v, p));
}

// Escape during the second file: the first keeps its curves, the second
// the whole records it made, unreported; the view stays where it was.
TEST(ChargementFenetre, EscapeStopsTheLoadAndKeepsWhatWasMade)
{
    auto v = montree();
    QCustomPlot *p = plot(*v);
    const std::vector<shp::Record> petit = traits(20);
    const std::string un = ecrit("premier.shp", 3, petit);
    const std::vector<shp::Record> gros = traits(200000);
    const std::string deux = ecrit("second.shp", 3, gros);
    bool arrete = false;
    QCPRange x, y;
    QObject::connect(v.get(), &KaluView::fichierCharge, [&](const QString &, bool) {
        pendantLeChargement(*v, [&] {
            x = p->xAxis->range();
            y = p->yAxis->range();
            QTest::keyClick(v.get(), Qt::Key_Escape);
            arrete = true;
        });
    });
    const Sorties s = charge(*v, liste({un, deux}));
    ASSERT_TRUE(arrete);
    EXPECT_EQ(s.err, "");
    EXPECT_EQ(s.out.find("ui->customPlot->width()="), std::string::npos) << "fitted";
    EXPECT_EQ(p->xAxis->range(), x);
    EXPECT_EQ(p->yAxis->range(), y);
    // Whole records of the second file: every record of traits() has one
    // or two parts, the first of two at every third record.
    const int gardees = p->plottableCount() - parties(petit);
    ASSERT_GT(gardees, 0);
    ASSERT_LT(gardees, parties(gros));
    int records = 0;
    for (int n = 0; n < gardees; ++records)
        n += int(gros[size_t(records)].parts.size());
    EXPECT_EQ(parties(std::vector<shp::Record>(gros.begin(), gros.begin() + records)), gardees)
        << "a record cut in two";
    const QString m = v->statusBar()->currentMessage();
    const QRegularExpressionMatch lu =
        QRegularExpression("^Loading stopped: ([0-9,]+) (of 266,667 )?parts of 'second.shp'")
            .match(m);
    ASSERT_TRUE(lu.hasMatch()) << m.toStdString();
    EXPECT_EQ(lu.captured(1).remove(',').toInt(), gardees) << m.toStdString();
    EXPECT_EQ(titre(*v)->text(), QString("Shapefile: '%1'").arg(QString::fromStdString(deux)));
    EXPECT_FALSE(p->legend->visible());
    EXPECT_TRUE(commeLaBibliotheque(*v, p));
}

// A new choice replaces the load under way; "Remove all shapes" stops it
// and empties the map.
TEST(ChargementFenetre, ANewChoiceReplacesTheLoadAndRemoveAllStopsIt)
{
    auto v = montree();
    QCustomPlot *p = plot(*v);
    const std::string gros = ecrit("gros.shp", 3, traits(200000));
    const std::vector<shp::Record> petit = traits(10);
    const std::string autre = ecrit("autre.shp", 3, petit);
    pendantLeChargement(*v, [&] { v->chargeShapefiles(liste({autre})); });
    chargeEtLaSuivante(*v, gros);
    EXPECT_EQ(p->plottableCount(), parties(petit));
    EXPECT_EQ(titre(*v)->text(), QString("Shapefile: '%1'").arg(QString::fromStdString(autre)));

    pendantLeChargement(*v, [&] { QMetaObject::invokeMethod(v.get(), "removeAllGraphs"); });
    const Sorties s = charge(*v, liste({gros}));
    EXPECT_EQ(p->plottableCount(), 0);
    EXPECT_EQ(v->statusBar()->currentMessage(), "Loading stopped");
    EXPECT_EQ(s.err, "");
    attendsImage(p);
    EXPECT_TRUE(commeLaBibliotheque(*v, p));
}

// Closing the window (its quit key) during a load ends it, reporting
// nothing; shown again, the window loads as before.
TEST(ChargementFenetre, AQuitDuringALoadReportsNothing)
{
    qApp->setQuitOnLastWindowClosed(false);
    auto v = montree();
    const std::string chemin = ecrit("ferme.shp", 3, traits(60000));
    pendantLeChargement(*v,
                        [&] { QTest::keySequence(v.get(), QKeySequence(Qt::CTRL | Qt::Key_Q)); });
    const Sorties s = charge(*v, liste({chemin}));
    EXPECT_FALSE(v->isVisible());
    EXPECT_EQ(s.err, "");
    EXPECT_EQ(s.out.find("ui->customPlot->width()="), std::string::npos)
        << "fitted after the close";
    EXPECT_FALSE(v->statusBar()->currentMessage().contains("could not be read"));

    v->show();
    Capture encore;
    chargeEtAttends(*v, liste({chemin}));
    encore.fin();
    EXPECT_EQ(plot(*v)->plottableCount(), parties(traits(60000)));
}

// The terminal, byte for byte up to the scale's lines: one good file, three,
// and good / refused / good; the refused one's lines are the reader's and
// the loader's, on the error stream.
TEST(ChargementFenetre, TheTerminalSaysWhatItAlwaysSaid)
{
    auto v = montree();
    const std::vector<shp::Record> a = traits(5), b = traits(7), d = traits(3);
    const std::string fa = ecrit("ta.shp", 3, a), fb = ecrit("tb.shp", 3, b),
                      fd = ecrit("td.shp", 3, d);
    std::vector<shp::Record> casse = traits(4);
    casse[2].type = 1;
    const std::string fc = ecrit("tc.shp", 3, casse);
    const std::string echelle = "ui->customPlot->width()=";
    const struct {
        QStringList fichiers;
        std::string out;
        bool refus;
    } cas[] = {
        {liste({fa}), "Nombre fichiers *.shp : 1\n" + lignesAttendues(a), false},
        {liste({fa, fb, fd}),
         "Nombre fichiers *.shp : 3\n" + lignesAttendues(a) + lignesAttendues(b) +
             lignesAttendues(d),
         false},
        {liste({fa, fc, fd}),
         "Nombre fichiers *.shp : 3\n" + lignesAttendues(a) + lignesAttendues(d), true},
    };
    for (const auto &k : cas) {
        const Sorties s = charge(*v, k.fichiers);
        EXPECT_EQ(s.out.substr(0, k.out.size() + echelle.size()), k.out + echelle);
        EXPECT_EQ(std::count(s.out.begin(), s.out.end(), '\n'),
                  std::count(k.out.begin(), k.out.end(), '\n') + 6);
        attendsImage(plot(*v));
        if (k.refus) {
            const std::string fin = "[<../kalu/kaluview.cpp.fscanshp_cpt>] erreur fscan_shp()!\n";
            ASSERT_GE(s.err.size(), fin.size());
            EXPECT_EQ(s.err.substr(s.err.size() - fin.size()), fin);
            EXPECT_EQ(std::count(s.err.begin(), s.err.end(), '\n'), 2) << s.err;
            EXPECT_EQ(v->statusBar()->currentMessage(), "'tc.shp' could not be read");
        } else {
            EXPECT_EQ(s.err, "");
            EXPECT_TRUE(v->statusBar()->currentMessage().endsWith(" shapes"));
        }
    }
}

// A load that leaves no curve keeps the ranges it began with; a valid file
// of a type not drawn says so.
TEST(ChargementFenetre, ALoadWithNoCurveKeepsTheViewAndATypeNotDrawnIsNamed)
{
    auto v = montree();
    QCustomPlot *p = plot(*v);
    Capture c;
    chargeEtAttends(*v, liste({ecrit("bon.shp", 3, traits(50))}));
    const QCPRange x = p->xAxis->range(), y = p->yAxis->range();
    shp::Bytes z = shp::header(13, 100, 0, 0, 25, 25); // PolyLineZ, no record
    ASSERT_TRUE(shp::write(shp::scratchPath("z.shp"), z));
    chargeEtAttends(*v, {QString::fromStdString(shp::scratchPath("z.shp"))});
    EXPECT_EQ(v->statusBar()->currentMessage(), "'z.shp': PolyLineZ shapes are not drawn");
    EXPECT_NEAR(p->xAxis->range().center(), x.center(), 1e-9 * x.size());
    EXPECT_NEAR(p->yAxis->range().center(), y.center(), 1e-9 * y.size());
    EXPECT_NEAR(p->xAxis->range().size(), x.size(), 1e-6 * x.size());

    shp::Bytes vide = shp::header(5, 100, -170, -80, 170, 80); // no record
    ASSERT_TRUE(shp::write(shp::scratchPath("vide.shp"), vide));
    chargeEtAttends(*v, {QString::fromStdString(shp::scratchPath("vide.shp"))});
    c.fin();
    EXPECT_NEAR(p->xAxis->range().center(), x.center(), 1e-9 * x.size());
    EXPECT_NEAR(p->xAxis->range().size(), x.size(), 1e-6 * x.size());
    EXPECT_EQ(v->statusBar()->currentMessage(), "'vide.shp' holds no shape");
}

// A file cut in the middle of a record, its header's box wider than its
// points: the final view covers every point, at every window size.
TEST(ChargementFenetre, TheFinalViewCoversEveryPoint)
{
    std::vector<shp::Record> r;
    for (int k = 0; k < 400; ++k) {
        const double x = -82.9628 + 7.19 * (k % 20) / 19.0, y = 30.1 + 6.3 * (k / 20) / 19.0;
        r.push_back({5, {{{x, y}, {x + 0.001, y}, {x, y + 0.001}, {x, y}}}});
    }
    shp::Bytes b = avecBoite(5, r, -90, 20, -70, 45);
    b.resize(b.size() - 30); // the last record cut
    const std::string chemin = shp::scratchPath("coupe.shp");
    ASSERT_TRUE(shp::write(chemin, b));
    for (QSize taille : {QSize(1200, 450), QSize(700, 500), QSize(450, 900), QSize(1000, 330)}) {
        auto v = nouvelle();
        v->resize(taille);
        v->show();
        QCustomPlot *p = plot(*v);
        charge(*v, liste({chemin}));
        ASSERT_GT(p->plottableCount(), 0);
        const Registre::Etendue e = ::Carte::de(p)->etendue();
        EXPECT_TRUE(p->xAxis->range().contains(e.x.lower) && p->xAxis->range().contains(e.x.upper))
            << taille.width() << "x" << taille.height();
        EXPECT_TRUE(p->yAxis->range().contains(e.y.lower) && p->yAxis->range().contains(e.y.upper))
            << taille.width() << "x" << taille.height();
    }
}

// A resize during a load keeps the part drawn on screen: the map drawn so
// far, moved to the new size, until the pictures for it are in. On a busy
// machine the load may end before a picture of two thousand parts is
// drawn: a new window loads it again then, a few times at most.
TEST(ChargementFenetre, AResizeDuringALoadKeepsThePictureDrawn)
{
    const std::string chemin = ecrit("redim.shp", 5, [] {
        std::vector<shp::Record> r;
        for (int k = 0; k < 100000; ++k) {
            const double x = k % 300, y = k / 300;
            r.push_back({5, {{{x, y}, {x + 0.9, y}, {x + 0.9, y + 0.9}, {x, y + 0.9}, {x, y}}}});
        }
        return r;
    }());
    int verts = -1;
    for (int essai = 0; essai < 5 && verts < 0; ++essai) {
        auto v = montree();
        QCustomPlot *p = plot(*v);
        pendantLeChargement(
            *v,
            [&] {
                v->resize(820, 560);
                p->replot(QCustomPlot::rpImmediateRefresh);
                const QImage vue = p->grab().toImage();
                verts = 0;
                for (int y = 0; y < vue.height(); y += 2)
                    for (int x = 0; x < vue.width(); x += 2) {
                        const QColor c = vue.pixelColor(x, y);
                        verts += c.green() > c.red() + 60 && c.green() > c.blue() + 60;
                    }
            },
            2000); // a picture whose parts cover a few hundred of the pixels read
        charge(*v, liste({chemin}));
    }
    EXPECT_GT(verts, 100) << "the map drawn so far left the screen";
}

} // namespace

namespace
{

// A window deleted in the middle of its load (its owner gone) takes the
// load with it, its reading thread and its curves.
TEST(ChargementFenetre, AWindowDeletedDuringALoadEndsIt)
{
    // A first load makes the threads that outlive windows (the drawing
    // jobs', the one that frees the scenes): after it, a load's own
    // threads are the only ones to come and go.
    {
        auto premiere = montree();
        charge(*premiere, liste({ecrit("avant.shp", 3, traits(50))}));
        ASSERT_TRUE(attendsImage(plot(*premiere)));
    }
    QApplication::processEvents();
    const int avant = fils();
    auto v = fenetre::nouvelle();
    v->show();
    const std::string chemin = shp::scratchPath("supprimee.shp");
    ASSERT_TRUE(shp::write(chemin, shp::file(3, traits(60000))));
    Capture c;
    v->chargeShapefiles({QString::fromStdString(chemin)});
    for (int k = 0; k < 200 && ::Carte::de(fenetre::plot(*v))->rangSuivant() == 0; ++k)
        QTest::qWait(5);
    EXPECT_TRUE(v->chargeEnCours());
    const std::vector<QPointer<QCPCurve>> courbes = suivies(plot(*v));
    EXPECT_FALSE(courbes.empty());
    v.reset();
    QApplication::processEvents();
    c.fin();
    EXPECT_EQ(restantes(courbes), 0) << "curves outlived their window";
    EXPECT_LE(fils(), avant) << "the load's reading thread outlived its window";
}

} // namespace

// The pictures of a load may hold parts read whose curves are not made yet:
// each is, once those curves are made, the library's replot of as many
// first curves, in the same view, and the last is the complete picture. A
// file refused halfway, whose parts were drawn, takes them back.
TEST(ChargementFenetre, ThePicturesDrawnAheadOfTheCurvesAreTheLibrarysOwn)
{
    // Many short dashes: a part costs its curve far more than its drawing.
    std::vector<shp::Record> r;
    for (int k = 0; k < 60000; ++k) {
        const double x = (k * 37 % 499) * 0.02, y = (k * 53 % 491) * 0.02;
        r.push_back({3, {{{x, y}, {x + 0.01, y + 0.005}}}});
    }
    const std::string bon = ecrit("tirets.shp", 3, r);
    std::vector<shp::Record> mauvais(r.begin(), r.begin() + 40000);
    mauvais.push_back({8, {{{0, 0}, {1, 1}}}}); // refused once the rest is read
    const std::string coupe = ecrit("tirets-refuses.shp", 3, mauvais);

    auto v = montree();
    QCustomPlot *p = plot(*v);
    ::Carte *carte = ::Carte::de(p);
    struct Vu {
        size_t parts;
        QImage image;
        QCPRange x, y;
        QRect rect;
    };
    std::vector<Vu> vus;
    int ebauches = 0;
    QObject::connect(p, &QCustomPlot::afterReplot, v.get(), [&] {
        if (!v->chargeEnCours() || Sonde(carte).compteurs().ebauches == ebauches || vus.size() >= 4)
            return;
        ebauches = Sonde(carte).compteurs().ebauches;
        if (Sonde(carte).courbesEbauchees() <= carte->rangSuivant())
            return;
        // The library doesn't grab within a replot: the picture just made.
        Vu vu{Sonde(carte).courbesEbauchees(), QImage(), p->xAxis->range(), p->yAxis->range(),
              p->axisRect()->rect()};
        const int n = ebauches;
        QTimer::singleShot(0, v.get(), [&, vu, n]() mutable {
            if (Sonde(carte).compteurs().ebauches != n || p->xAxis->range() != vu.x)
                return;
            vu.image = p->grab().toImage().copy(vu.rect);
            vus.push_back(vu);
        });
    });
    chargeEtAttends(*v, liste({bon, coupe}));
    ASSERT_EQ(p->plottableCount(), int(r.size())) << "the refused file's parts stay";
    EXPECT_TRUE(commeLaBibliotheque(*v, p));

    int comparees = 0;
    for (const Vu &vu : vus) {
        if (p->axisRect()->rect() != vu.rect || vu.parts > r.size())
            continue;
        QList<QCPLayerable *> courbes = p->layer("courbes")->children();
        for (int k = int(vu.parts); k < courbes.size(); ++k)
            courbes[k]->setVisible(false);
        p->xAxis->setRange(vu.x);
        p->yAxis->setRange(vu.y);
        Sonde(carte).setRapide(false);
        p->replot();
        const QImage reference = p->grab().toImage().copy(vu.rect);
        Sonde(carte).setRapide(true);
        for (int k = int(vu.parts); k < courbes.size(); ++k)
            courbes[k]->setVisible(true);
        EXPECT_TRUE(vu.image == reference) << vu.parts << " parts";
        ++comparees;
    }
    // Whether a picture got ahead of its curves depends on the threads'
    // pace; the test below makes sure of it.
    RecordProperty("ahead", comparees);
}

// Parts announced to the map before their curves are made are drawn by the
// load's pictures: the picture that holds them all is, once their curves
// are made, the library's replot of those curves.
TEST(ChargementFenetre, PartsAnnouncedAreDrawnBeforeTheirCurves)
{
    auto v = montree();
    QCustomPlot *p = plot(*v);
    ::Carte *carte = ::Carte::de(p);
    p->xAxis->setRange(0, 10);
    p->yAxis->setRange(0, 10);
    const int n = 3000;
    std::vector<QSharedPointer<QCPCurveDataContainer>> donnees;
    for (int k = 0; k < n; ++k) {
        const double x = (k * 37 % 97) * 0.1, y = (k * 53 % 89) * 0.1;
        auto d = QSharedPointer<QCPCurveDataContainer>::create();
        const double px[] = {x, x + 0.6, x + 0.3, x}, py[] = {y, y + 0.1, y + 0.5, y};
        for (int i = 0; i < 4; ++i)
            d->add(QCPCurveData(i, px[i], py[i]));
        donnees.push_back(d);
    }
    auto boite = [&](int k, bool cles) {
        bool ok = false;
        return cles ? donnees[size_t(k)]->keyRange(ok) : donnees[size_t(k)]->valueRange(ok);
    };
    const QPen trait(QColor(20, 40, 160), 1.5);
    const QBrush fond(QColor(0, 150, 0, 90));
    auto fait = [&](int k) {
        Courbe *c = carte->ajoute(boite(k, true), boite(k, false), true);
        c->setData(donnees[size_t(k)]);
        c->setPen(trait);
        c->setBrush(fond);
        carte->inscrit(c);
        return c;
    };
    carte->debutChargement();
    carte->debutAjouts();
    bool ok = false;
    const std::vector<Habit> habits{Habit::de(*fait(0), &ok)};
    carte->finAjouts();
    ASSERT_TRUE(ok);
    std::vector<Scene::Element> suivants;
    for (int k = 1; k < n; ++k) {
        Scene::Element e;
        e.donnees = donnees[size_t(k)];
        e.cles = boite(k, true);
        e.valeurs = boite(k, false);
        e.points = 4;
        suivants.push_back(e);
    }
    carte->annonce(suivants, habits);
    p->replot();
    for (int k = 0; Sonde(carte).courbesEbauchees() < size_t(n) && k < 20000; ++k) {
        QApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(500);
    }
    ASSERT_EQ(Sonde(carte).courbesEbauchees(), size_t(n));
    EXPECT_EQ(carte->rangSuivant(), 1u);
    const QImage devance = p->grab().toImage();

    carte->debutAjouts(false);
    for (int k = 1; k < n; ++k)
        fait(k);
    carte->finAjouts();
    carte->finChargement();
    Sonde(carte).setRapide(false);
    p->replot();
    const QImage reference = p->grab().toImage();
    Sonde(carte).setRapide(true);
    EXPECT_TRUE(devance == reference);
    EXPECT_TRUE(commeLaBibliotheque(*v, p));
}

// The view a load sets before its first curve is the one it ends at, when
// the header tells the truth: the labels' widths, known only once laid out,
// must not leave it narrower than the box, or the end fits again and the
// pictures begin anew.
TEST(ChargementFenetre, TheViewSetBeforeTheFirstCurveIsTheOneTheLoadEndsAt)
{
    std::vector<shp::Record> r;
    for (int k = 0; k < 3000; ++k) {
        const double x = -180 + (k * 37 % 359), y = -78.6 + (k * 53 % 161);
        r.push_back({3, {{{x, y}, {k ? x + 0.5 : 180.0, k ? y + 0.3 : 83.6}}}});
    }
    const shp::Bytes b = avecBoite(3, r, -180, -78.6, 180, 83.6);
    const std::string chemin = shp::scratchPath("monde.shp");
    ASSERT_TRUE(shp::write(chemin, b));
    for (QSize taille : {QSize(700, 500), QSize(900, 700), QSize(1200, 450), QSize(450, 900)}) {
        auto v = nouvelle();
        v->resize(taille);
        v->show();
        QCustomPlot *p = plot(*v);
        QCPRange x, y;
        QObject::connect(p, &QCustomPlot::afterReplot, v.get(), [&] {
            if (x.size() == 0 && v->chargeEnCours() && ::Carte::de(p)->rangSuivant() > 0) {
                x = p->xAxis->range();
                y = p->yAxis->range();
            }
        });
        chargeEtAttends(*v, liste({chemin}));
        ASSERT_GT(x.size(), 0) << "no replot with curves during the load";
        EXPECT_EQ(p->xAxis->range(), x) << taille.width() << "x" << taille.height();
        EXPECT_EQ(p->yAxis->range(), y) << taille.width() << "x" << taille.height();
    }
}

namespace
{

// Every legend item belongs to a curve of the plot; a shown legend has one
// item per curve once the load is over.
::testing::AssertionResult legendeSaine(QCustomPlot *p)
{
    for (int i = 0; i < p->legend->itemCount(); ++i) {
        auto *item = qobject_cast<QCPPlottableLegendItem *>(p->legend->item(i));
        if (item == nullptr || !p->hasPlottable(item->plottable()))
            return ::testing::AssertionFailure() << "legend item " << i << " has no curve";
    }
    if (p->legend->visible() && p->legend->itemCount() != p->plottableCount())
        return ::testing::AssertionFailure()
               << p->legend->itemCount() << " items for " << p->plottableCount() << " curves";
    return ::testing::AssertionSuccess();
}

// The user's usual session: a small map, its legend shown, then a big one
// that goes before its end (stopped, emptied, or refused by the reader at
// its last record), then the wheel and a drag on what stays, then another
// file.
class SessionFenetre : public ::testing::TestWithParam<int>
{
};

TEST_P(SessionFenetre, ABigMapAfterASmallOneLeavesNoLegendItemWithoutItsCurve)
{
    enum { ECHAP, TOUT_RETIRER, REFUSE };
    auto v = montree();
    QCustomPlot *p = plot(*v);
    Capture c;
    chargeEtAttends(*v, liste({ecrit("echantillon.shp", 5, traits(4))}));
    ASSERT_TRUE(p->legend->visible());
    ASSERT_TRUE(attendsImage(p));

    std::vector<shp::Record> gros = traits(100000);
    if (GetParam() == REFUSE)
        gros.back().type = 1;
    const std::string chemin = ecrit("gros.shp", 3, gros);
    int entrees = 0;
    QObject::connect(p, &QCustomPlot::afterReplot, v.get(), [&] {
        if (v->chargeEnCours())
            entrees = std::max(entrees, p->legend->itemCount());
    });
    if (GetParam() != REFUSE)
        pendantLeChargement(*v, [&] {
            if (GetParam() == ECHAP)
                QTest::keyClick(v.get(), Qt::Key_Escape);
            else
                QMetaObject::invokeMethod(v.get(), "removeAllGraphs");
        });
    chargeEtAttends(*v, liste({chemin}));
    c.fin();
    EXPECT_EQ(entrees, 0) << "legend items made during the load";
    EXPECT_TRUE(legendeSaine(p));
    EXPECT_FALSE(GetParam() == ECHAP && p->plottableCount() == 0) << "the stop kept nothing";

    const QPoint milieu = p->axisRect()->rect().center();
    molette(p, milieu, 2);
    glisse(p, milieu, milieu + QPoint(40, 25));
    p->replot();
    EXPECT_TRUE(legendeSaine(p));
    ASSERT_TRUE(attendsImage(p));
    EXPECT_TRUE(legendeSaine(p));

    // Then another file, big enough that the plot's lists get their room
    // ahead of its curves: it replaces what stayed, and comes whole.
    const std::vector<shp::Record> autre = traits(70000);
    int parties = 0;
    for (const shp::Record &e : autre)
        parties += int(e.parts.size());
    chargeEtAttends(*v, liste({ecrit("autre.shp", 3, autre)}));
    EXPECT_EQ(p->plottableCount(), parties);
    EXPECT_TRUE(legendeSaine(p));
    ASSERT_TRUE(attendsImage(p));
}

INSTANTIATE_TEST_SUITE_P(Arrets, SessionFenetre, ::testing::Values(0, 1, 2));

} // namespace

namespace
{

// A load chosen while the last one's picture is still to come shows its
// own progress and stop button, and its end its own outcome.
TEST(ChargementFenetre, ALoadChosenBeforeTheLastPictureHasItsOwnProgress)
{
    auto v = montree();
    QCustomPlot *p = plot(*v);
    const std::string un = ecrit("avant.shp", 3, traits(60000));
    const std::vector<shp::Record> petit = traits(40);
    const std::string deux = ecrit("apres.shp", 3, petit);
    QToolButton *stop = nullptr;
    for (QToolButton *b : v->statusBar()->findChildren<QToolButton *>())
        if (b->text() == "Stop")
            stop = b;
    ASSERT_NE(stop, nullptr);
    bool attendue = false, montre = false;
    auto fois = std::make_shared<int>(0);
    QObject::connect(v.get(), &KaluView::chargementFini, v.get(), [&, fois] {
        if (++*fois != 1)
            return;
        if (!::Carte::de(p)->attendImage()) {
            // a quick run: the last picture made still to come, by a pan
            p->xAxis->moveRange(p->xAxis->range().size() / 100);
            p->replot();
        }
        attendue = ::Carte::de(p)->attendImage();
        v->chargeShapefiles(liste({deux}));
        montre = stop->isVisible();
    });
    chargeEtLaSuivante(*v, un);
    ASSERT_TRUE(attendue) << "the first picture came within its load's end";
    EXPECT_TRUE(montre) << "the stop button hidden during the second load";
    ASSERT_TRUE(attendsImage(p));
    EXPECT_EQ(v->statusBar()->currentMessage(), QString("%1 shapes").arg(parties(petit)));
}

} // namespace
