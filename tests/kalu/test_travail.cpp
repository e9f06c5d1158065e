// SPDX-License-Identifier: GPL-3.0-or-later
//
// The drawing jobs (kalutravail): a job cancelled or left behind by a
// removal, a load or a new view never shows nor breaks the map; a strip is
// cut in bands of columns and still drawn as in one pass; a Finition
// replaced or deleted while its task runs, or still waits in the pool's
// queue, is cancelled without the GUI thread waiting for the pool.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include <cmath>

#include "carte.h"
#include "kalucarte.h"
#include "kalusonde.h"
#include "kalutravail.h"

namespace
{

using namespace fenetre;

// Translucent rings of many points, heavy enough that the GUI thread acts
// while the job draws; the map drops or keeps curves under it.
class JobEnCours : public ::testing::Test
{
  protected:
    static std::vector<shp::Record> anneaux(int n, double decalage)
    {
        std::vector<shp::Record> r;
        for (int k = 0; k < n; ++k) {
            shp::Part anneau;
            const double cx = decalage + (k % 10) * 0.9, cy = 1 + (k / 10) * 0.4,
                         rayon = 0.3 + (k % 7) * 0.1;
            for (int i = 0; i <= 1500; ++i) {
                const double a = 2 * M_PI * i / 1500, ondule = 1 + 0.1 * std::sin(a * 40);
                anneau.push_back(
                    {cx + rayon * ondule * std::cos(a), cy + rayon * ondule * std::sin(a)});
            }
            r.push_back({5, {anneau}});
        }
        return r;
    }
    void SetUp() override
    {
        charge(*v, 5, anneaux(200, 0.5), "anneaux.shp");
        cadre(*v, QCPRange(0, 10), QCPRange(0, 10));
        attendsImage(p);
    }
    // Starts a job for a new view; the GUI thread then acts at once.
    void zoome(double x0)
    {
        p->xAxis->setRange(x0, x0 + 7);
        p->replot();
        ASSERT_TRUE(carte->attendImage());
    }

    std::unique_ptr<KaluView> v = nouvelle();
    QCustomPlot *p = plot(*v);
    ::Carte *carte = ::Carte::de(p);
};

TEST_F(JobEnCours, RemovalsAndLoadsWhileAJobRunsAreSafe)
{
    clic(p, pixel(p, 0.5, 1));
    ASSERT_EQ(p->selectedPlottables().size(), 1);
    attendsImage(p);
    zoome(0.5);
    ASSERT_TRUE(QMetaObject::invokeMethod(v.get(), "removeSelectedGraph"));
    EXPECT_TRUE(commeLaBibliotheque(*v, p)) << "Remove selected shape during a job";

    zoome(1);
    const std::string autre = shp::scratchPath("anneaux2.shp");
    ASSERT_TRUE(shp::write(autre, shp::file(5, anneaux(120, 1.5))));
    Capture c;
    fenetre::chargeEtAttends(*v, {QString::fromStdString(autre)});
    c.fin();
    EXPECT_EQ(p->plottableCount(), 120);
    EXPECT_TRUE(commeLaBibliotheque(*v, p)) << "a load during a job";

    zoome(0);
    ASSERT_TRUE(QMetaObject::invokeMethod(v.get(), "removeAllGraphs"));
    EXPECT_EQ(p->plottableCount(), 0);
    EXPECT_TRUE(commeLaBibliotheque(*v, p)) << "Remove all shapes during a job";
}

// A map that is a strip is cut in bands of columns, also drawn as in one pass.
TEST(Decoupe, AStripIsDrawnAsInOnePass)
{
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    std::vector<shp::Record> r;
    for (int k = 0; k < 80; ++k) {
        const double x = 0.2 + k * 0.12, y = 4.9 + (k % 3) * 0.05;
        r.push_back({5, {{{x, y}, {x + 0.3, y + 0.2}, {x + 0.5, y}, {x, y}}}});
    }
    charge(*v, 5, r, "bande.shp");
    cadre(*v, QCPRange(0, 10), QCPRange(0, 10));
    Sonde(::Carte::de(p)).setFils(3);
    p->xAxis->setRange(0.5, 9.5);
    p->replot();
    EXPECT_TRUE(commeLaBibliotheque(*v, p));
}

// A scene of `n` small boxes sharing one curve's data: its index is work
// enough that a Finition's task lasts well beyond the GUI thread's calls.
std::shared_ptr<const Scene> lourde(int n)
{
    auto donnees = QSharedPointer<QCPCurveDataContainer>::create();
    donnees->add(QCPCurveData(0, 0, 0));
    donnees->add(QCPCurveData(1, 1, 1));
    std::shared_ptr<Scene> s = Scene::nouvelle();
    s->elements.resize(size_t(n));
    for (int k = 0; k < n; ++k) {
        Scene::Element &e = s->elements[size_t(k)];
        e.donnees = donnees;
        e.cles = QCPRange(k % 1000, k % 1000 + 1.5);
        e.valeurs = QCPRange(k / 1000, k / 1000 + 1.5);
        e.points = 2;
    }
    return s;
}

QImage picture(QColor c)
{
    QImage im(64, 48, QImage::Format_ARGB32_Premultiplied);
    im.fill(c);
    return im;
}

// Runs the event loop until `fait` holds, for at most 60 s.
template <class F> bool attends(F fait)
{
    return QTest::qWaitFor(fait, 60000);
}

// Finitions queued behind as many as the pool has threads and more: the
// one replaced, then the one deleted, are cancelled while the pool is busy
// (the GUI thread got on without waiting for the queue ahead of them),
// never tell their end, and make nothing; the one that replaced them ends
// with its curves alone and its index.
TEST(Finitions, AReplacedOrDeletedOneIsCancelledWithoutWaitingForThePool)
{
    const std::shared_ptr<const Scene> s = lourde(300000);
    const QImage fond = picture(Qt::transparent), image = picture(Qt::red);
    std::vector<std::unique_ptr<Finition>> devant;
    int finies = 0;
    for (int k = 0; k < 2 * Travail::filsParDefaut(); ++k) {
        devant.emplace_back(new Finition(fond, image, s));
        QObject::connect(devant.back().get(), &Finition::termine, [&finies] { ++finies; });
    }
    int tues = 0, gagnantes = 0;
    std::unique_ptr<Finition> tenue(new Finition(fond, image, s));
    QObject::connect(tenue.get(), &Finition::termine, [&tues] { ++tues; });
    std::unique_ptr<Finition> supprimee(new Finition(fond, image, s));
    QObject::connect(supprimee.get(), &Finition::termine, [&tues] { ++tues; });
    tenue.reset(new Finition(fond, image, s)); // a replacement, as a map's next load end
    supprimee.reset();                         // a map emptied
    QObject::connect(tenue.get(), &Finition::termine, [&gagnantes] { ++gagnantes; });
    int faites = 0;
    for (const auto &f : devant)
        faites += f->acheve();
    // Had the GUI thread waited for the second one's task, all but the
    // pool's last threads' worth of those ahead would have ended.
    EXPECT_LE(faites, int(devant.size()) - Travail::filsParDefaut())
        << "deleting a Finition waited for the ones queued before it";

    ASSERT_TRUE(attends([&] { return gagnantes == 1 && finies == int(devant.size()); }));
    QApplication::processEvents();
    EXPECT_EQ(tues, 0) << "a replaced or deleted Finition told its end";
    EXPECT_EQ(gagnantes, 1);
    ASSERT_NE(tenue->index(), nullptr);
    EXPECT_FALSE(tenue->index()->proches(10, 10.2, 20, 20.2).empty());
    EXPECT_EQ(tenue->seules().pixelColor(3, 3), QColor(Qt::red));
}

// Cancelled before its task began, a Finition makes neither its curves
// alone nor its index, and never tells an end.
TEST(Finitions, ACancelledOneMakesNothing)
{
    const std::shared_ptr<const Scene> s = lourde(300000);
    const QImage fond = picture(Qt::white), image = picture(Qt::blue);
    std::vector<std::unique_ptr<Finition>> devant;
    for (int k = 0; k < 2 * Travail::filsParDefaut(); ++k)
        devant.emplace_back(new Finition(fond, image, s));
    Finition annulee(fond, image, s);
    QSignalSpy fin(&annulee, &Finition::termine);
    annulee.annule();
    ASSERT_TRUE(attends([&] { return annulee.acheve(); }));
    QApplication::processEvents();
    EXPECT_EQ(fin.count(), 0);
    EXPECT_EQ(annulee.index(), nullptr);
    EXPECT_TRUE(annulee.seules().isNull());
}

} // namespace
