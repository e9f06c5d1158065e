// SPDX-License-Identifier: GPL-3.0-or-later
//
// The pictures of a load under way (kaluebauche): each is the library's own
// drawing of the curves made so far, the last one becomes the complete
// picture, and a header whose box lies still ends fitted to the points.
// Their owner (kaluapercu) asks its Source for lots in order, as its mode
// says, and draws an export's rest only for the view it was drawn for.
#include <gtest/gtest.h>

#include <QSignalBlocker>
#include <QTest>

#include <algorithm>
#include <cstring>

#include "carte.h"
#include "kaluapercu.h"
#include "kalucarte.h"
#include "kalusonde.h"

namespace
{

using namespace fenetre;

// Overlapping translucent rings, each over those before it, in a file whose
// header may declare another box than its points'.
std::string recouvrants(const std::string &nom, int n, bool menteur = false)
{
    std::vector<shp::Record> r;
    double boite[4] = {0, 0, 0, 0}; // x0, y0, x1, y1
    for (int k = 0; k < n; ++k) {
        const double x = (k * 37 % 101) * 0.1, y = (k * 53 % 97) * 0.1;
        r.push_back({5, {{{x, y}, {x, y + 1.5}, {x + 1.2, y + 1.4}, {x + 1.3, y}, {x, y}}}});
        boite[2] = std::max(boite[2], x + 1.3);
        boite[3] = std::max(boite[3], y + 1.5);
    }
    shp::Bytes b = shp::file(5, r);
    // The header's box: the points' own, so that the load's view is the
    // end's from the first curve; or, lying, [0, 1] x [0, 1].
    if (menteur)
        boite[2] = boite[3] = 1;
    std::memcpy(b.data() + 36, boite, sizeof boite);
    const std::string chemin = shp::scratchPath(nom);
    EXPECT_TRUE(shp::write(chemin, b));
    return chemin;
}

// The curves shown while a load goes are those made so far, pixel for pixel
// as the library draws them: each picture is checked against the library's
// replot of the curves it holds (those made since hidden; a picture ahead
// of its curves, once they are made), and the last is
// the complete picture, with no drawing started from scratch at the end.
TEST(ImagesDuChargement, EachPictureOfALoadIsTheLibrarysOwn)
{
    auto v = nouvelle();
    v->show();
    QCustomPlot *p = plot(*v);
    ::Carte *carte = ::Carte::de(p);
    const std::string chemin = recouvrants("recouvrants.shp", 120000);
    int vues = 0, verifiees = 0, ecarts = 0, replots = 0;
    // The pictures of the load, checked once it is over against the
    // library's replot of as many first curves in the same view: the map's
    // rectangle alone (the title is set meanwhile), and a picture may hold
    // parts whose curves were not made yet.
    struct Vu {
        size_t n;
        QCPRange x, y;
        QRect rect;
        QImage image;
        bool verifiee = false;
    };
    std::vector<Vu> vus;
    auto compare = [&](Vu &d) {
        QList<QCPLayerable *> courbes = p->layer("courbes")->children();
        if (d.verifiee || d.rect != p->axisRect()->rect())
            return;
        for (int k = int(d.n); k < courbes.size(); ++k)
            courbes[k]->setVisible(false);
        // The view of the picture, which the window must not take for the
        // user's.
        const QSignalBlocker bx(p->xAxis), by(p->yAxis);
        const QCPRange x = p->xAxis->range(), y = p->yAxis->range();
        p->xAxis->setRange(d.x);
        p->yAxis->setRange(d.y);
        Sonde(carte).setRapide(false);
        p->replot();
        ecarts += d.image != p->grab().toImage().copy(d.rect);
        Sonde(carte).setRapide(true);
        for (int k = int(d.n); k < courbes.size(); ++k)
            courbes[k]->setVisible(true);
        p->xAxis->setRange(x);
        p->yAxis->setRange(y);
        d.verifiee = true;
        ++verifiees;
    };
    QObject::connect(p, &QCustomPlot::afterReplot, [&] {
        ++replots;
        if (!v->chargeEnCours() || Sonde(carte).compteurs().ebauches == vues || vus.size() >= 3)
            return;
        vues = Sonde(carte).compteurs().ebauches;
        const size_t n = Sonde(carte).courbesEbauchees();
        const int ce = replots;
        const QCPRange x = p->xAxis->range(), y = p->yAxis->range();
        // The library doesn't grab within a replot: the picture just made,
        // unless another replot came first (the buffer is not laid out
        // again until one does).
        QTimer::singleShot(0, [&, n, ce, x, y] {
            if (replots != ce || p->xAxis->range() != x || p->yAxis->range() != y)
                return;
            const QRect r = p->axisRect()->rect();
            vus.push_back({n, x, y, r, p->grab().toImage().copy(r), false});
            // Now, in the layout it was made in.
            if (n <= size_t(p->layer("courbes")->children().size()))
                compare(vus.back());
        });
    });
    fenetre::chargeEtAttends(*v, {QString::fromStdString(chemin)});
    const ::Carte::Compteurs avant = Sonde(carte).compteurs();
    EXPECT_TRUE(commeLaBibliotheque(*v, p));
    EXPECT_EQ(Sonde(carte).compteurs().complets, avant.complets) << "drawn again from scratch";
    for (Vu &d : vus)
        compare(d); // those ahead of their curves
    EXPECT_GT(verifiees, 0);
    EXPECT_EQ(ecarts, 0);
}

// A header whose box lies: the load still ends fitted to the points, as a
// file with a true header does, its picture exact.
TEST(ImagesDuChargement, AHeaderThatLiesEndsFittedToItsData)
{
    auto vrai = nouvelle(), faux = nouvelle();
    vrai->show();
    faux->show();
    fenetre::chargeEtAttends(*vrai, {QString::fromStdString(recouvrants("vrai.shp", 300))});
    fenetre::chargeEtAttends(*faux, {QString::fromStdString(recouvrants("faux.shp", 300, true))});
    EXPECT_EQ(plot(*faux)->xAxis->range(), plot(*vrai)->xAxis->range());
    EXPECT_EQ(plot(*faux)->yAxis->range(), plot(*vrai)->yAxis->range());
    EXPECT_TRUE(commeLaBibliotheque(*faux, plot(*faux)));
}

// Seven short strokes, given two by two while parts come and all the
// rest after; the lots asked for, with whether parts still came.
class Parties : public Apercu::Source
{
  public:
    explicit Parties(QCustomPlot *p)
    {
        QCPCurve *modele = new QCPCurve(p->xAxis, p->yAxis);
        modele->setPen(QPen(Qt::red, 2));
        bool ok = true;
        scene->habits.push_back(Habit::de(*modele, &ok));
        p->removePlottable(modele);
        for (int k = 0; k < 7; ++k) {
            auto d = QSharedPointer<QCPCurveDataContainer>::create();
            d->add(QCPCurveData(0, k, 1));
            d->add(QCPCurveData(1, k + 1, 8));
            scene->elements.push_back({d, QCPRange(k, k + 1), QCPRange(1, 8), 0, 2});
        }
    }
    size_t parties() const override { return scene->elements.size(); }
    unsigned rangs() const override { return 0; }
    std::shared_ptr<const Scene> lot(size_t debut, bool lecture,
                                     std::shared_ptr<const Etats> &etats) override
    {
        demandes.push_back({debut, lecture});
        const size_t fin = lecture ? std::min(parties(), debut + 2) : parties();
        std::shared_ptr<Scene> s = Scene::nouvelle();
        s->habits = scene->habits;
        s->dessinable = dessinables;
        s->elements.assign(scene->elements.begin() + long(debut),
                           scene->elements.begin() + long(fin));
        etats = std::make_shared<const Etats>(fin - debut, uint8_t(VISIBLE));
        return s;
    }

    std::shared_ptr<Scene> scene = Scene::nouvelle();
    std::vector<std::pair<size_t, bool>> demandes;
    bool dessinables = true;
};

// Where the map draws: the fond's taking, an export, or a window's replot.
class Planche : public QCPLayerable
{
  public:
    Planche(QCustomPlot *p, Apercu &apercu) : QCPLayerable(p, "main"), apercu(apercu) {}
    bool exporte = false, exportee = false;
    int replots = 0;

  protected:
    void applyDefaultAntialiasingHint(QCPPainter *) const override {}
    void draw(QCPPainter *painter) override
    {
        Vue v;
        QImage *tampon = Ebauche::tamponExport(painter, parentPlot(), v);
        if (apercu.mode() == Apercu::Mode::Saisie)
            apercu.saisit(painter);
        else if (exporte)
            exportee = tampon && apercu.exporte(*tampon, v, 7);
        else if (apercu.pourFenetre() && (apercu.charge() || apercu.ebauche().commencee()))
            replots += apercu.dessine(painter);
    }

  private:
    Apercu &apercu;
};

// The window's side: the curves made, the pictures standing for the
// complete drawing.
class Vitre : public Apercu::Fenetre
{
  public:
    bool bouge() const override { return false; }
    void attend() override { ++attentes; }
    void montre(bool) override {}
    size_t courbes() const override { return 7; }
    std::shared_ptr<const Scene> adopte(const Ebauche &) override { return nullptr; }
    void complete(const Finition &) override {}
    int attentes = 0;
};

class Apercus : public ::testing::Test
{
  protected:
    explicit Apercus(Apercu::Fenetre *f = nullptr, int intervalle = 0)
        : apercu(&plot, source, f, intervalle)
    {
        plot.resize(160, 120);
        plot.xAxis->setRange(0, 8);
        plot.yAxis->setRange(0, 9);
        plot.show();
        plot.replot();
    }
    void esquisse()
    {
        apercu.esquisse(QSize(160, 120), [this] { plot.toPixmap(160, 120); });
    }
    bool dessinees(size_t n)
    {
        return QTest::qWaitFor(
            [&] { return apercu.ebauche().dessinees() == n && !apercu.ebauche().enCours(); },
            60000);
    }
    using Demandes = std::vector<std::pair<size_t, bool>>;

    QCustomPlot plot;
    Parties source{&plot};
    Apercu apercu;
    Planche planche{&plot, apercu};
};

// An export's lots come one at a time from the first part not drawn, as
// big as the Source gives while parts come and the rest after; none while
// the view may still move.
TEST_F(Apercus, AnExportsLotsComeInOrderAndNoneWhileTheViewWaits)
{
    apercu.passe(Apercu::Mode::Attente);
    apercu.passe(Apercu::Mode::Export);
    esquisse();
    ASSERT_TRUE(apercu.ebauche().commencee());
    EXPECT_EQ(source.demandes, (Demandes{{0, true}}));
    apercu.passe(Apercu::Mode::Attente);
    ASSERT_TRUE(dessinees(2));
    EXPECT_EQ(source.demandes.size(), 1u) << "a lot drawn for a view that may move";
    apercu.passe(Apercu::Mode::Export);
    apercu.poursuis();
    ASSERT_TRUE(dessinees(7));
    EXPECT_EQ(source.demandes, (Demandes{{0, true}, {2, true}, {4, true}, {6, true}}));
}

// An export drawn as the load went draws the parts left, waited for, only
// in the view and over the fond its pictures were drawn for; the same view
// asked again keeps them.
TEST_F(Apercus, AnExportUsesThePicturesOnlyForTheirOwnView)
{
    apercu.passe(Apercu::Mode::Attente);
    apercu.passe(Apercu::Mode::Export);
    esquisse();
    apercu.passe(Apercu::Mode::Fin);
    planche.exporte = true;
    plot.toPixmap(160, 120);
    EXPECT_TRUE(planche.exportee);
    EXPECT_EQ(apercu.ebauche().dessinees(), 7u);
    esquisse();
    EXPECT_EQ(source.demandes.size(), 2u) << "the same view begun again";
    plot.xAxis->setRange(1, 9);
    plot.toPixmap(160, 120);
    EXPECT_FALSE(planche.exportee) << "the pictures of another view exported";
}

class ApercusDeFenetre : public Apercus
{
  protected:
    ApercusDeFenetre() : Apercus(&fenetre, 1000000) {}
    Vitre fenetre;
};

// While the window's load goes, a lot waits for the time between lots;
// once the load is over, the rest comes at once.
TEST_F(ApercusDeFenetre, LotsWaitTheirTurnOnlyWhileTheLoadGoes)
{
    apercu.debut();
    plot.replot();
    EXPECT_EQ(source.demandes, (Demandes{{0, true}}));
    int montrees = 0; // replots of the picture with the first lot
    QObject::connect(&plot, &QCustomPlot::afterReplot,
                     [&] { montrees += apercu.ebauche().dessinees() == 2; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return montrees > 0; }, 60000));
    EXPECT_EQ(source.demandes.size(), 1u) << "a lot before its turn";
    apercu.fin();
    plot.replot();
    EXPECT_EQ(source.demandes, (Demandes{{0, true}, {2, false}}));
}

// Parts only the library draws leave the load without pictures, the
// replots standing for the complete drawing, until the load ends.
TEST_F(ApercusDeFenetre, PartsOnlyTheLibraryDrawsLeaveTheLoadWithoutPictures)
{
    source.dessinables = false;
    apercu.debut();
    plot.replot();
    EXPECT_EQ(apercu.mode(), Apercu::Mode::Sans);
    EXPECT_FALSE(apercu.ebauche().commencee());
    plot.replot();
    EXPECT_EQ(source.demandes.size(), 1u);
    EXPECT_EQ(fenetre.attentes, 2);
    EXPECT_TRUE(apercu.charge());
    apercu.fin();
    EXPECT_EQ(apercu.mode(), Apercu::Mode::Repos);
    EXPECT_FALSE(apercu.charge());
}

} // namespace
