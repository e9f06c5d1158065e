// SPDX-License-Identifier: GPL-3.0-or-later
// kalu-export's raster pictures without curves (kalutirage) beside the
// window's load with curves, in one process: the same bytes in PNG, JPEG
// and BMP, the same view and title, the same trace lines, whatever the
// files do; the curves made when a legend shows; a header that lies costs
// no drawing.
#include <gtest/gtest.h>

#include <QEventLoop>

#include <QFile>

#include <algorithm>
#include <map>
#include <string>

#include "capture.h"
#include "fenetre.h"
#include "kalutirage.h"
#include "shpwriter.h"

namespace
{

// Squares in rows, every third record with a second ring inside.
std::vector<shp::Record> carres(int n, double x0 = 0)
{
    std::vector<shp::Record> r;
    for (int k = 0; k < n; ++k) {
        const double x = x0 + k % 25, y = k / 25;
        shp::Record e{5, {{{x, y}, {x, y + 0.8}, {x + 0.8, y + 0.8}, {x + 0.8, y}, {x, y}}}};
        if (k % 3 == 0)
            e.parts.push_back({{x + 0.2, y + 0.2},
                               {x + 0.6, y + 0.2},
                               {x + 0.6, y + 0.6},
                               {x + 0.2, y + 0.6},
                               {x + 0.2, y + 0.2}});
        r.push_back(e);
    }
    return r;
}

// Zigzags across the squares' rows, some records of two lines.
std::vector<shp::Record> traits(int n)
{
    std::vector<shp::Record> r;
    for (int k = 0; k < n; ++k) {
        const double x = (k * 7) % 30 - 3, y = (k * 3) % 20 - 2;
        shp::Record e{3, {{{x, y}, {x + 1.5, y + 2}, {x + 3, y - 0.5}}}};
        if (k % 4 == 0)
            e.parts.push_back({{x, y + 1}, {x + 2, y + 1.3}});
        r.push_back(e);
    }
    return r;
}

// The header's box: the points' own unless given.
QString ecrit(const std::string &nom, int type, const std::vector<shp::Record> &r,
              const QRectF *boite = nullptr)
{
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    for (const shp::Record &e : r)
        for (const shp::Part &p : e.parts)
            for (const shp::Point &q : p) {
                x0 = std::min(x0, q.first), x1 = std::max(x1, q.first);
                y0 = std::min(y0, q.second), y1 = std::max(y1, q.second);
            }
    if (boite)
        x0 = boite->left(), y0 = boite->top(), x1 = boite->right(), y1 = boite->bottom();
    shp::Bytes b = shp::file(type, r);
    const shp::Bytes h = shp::header(type, b.size(), x0, y0, x1, y1);
    std::copy(h.begin(), h.end(), b.begin());
    EXPECT_TRUE(shp::write(shp::scratchPath(nom), b));
    return QString::fromStdString(shp::scratchPath(nom));
}

struct Rendu {
    std::map<std::string, QByteArray> octets; // by extension
    QCPRange x, y;
    QString titre;
    Sorties traces;
    int courbes = 0;
    int entrees = 0;
};

QByteArray enregistre(QCustomPlot *p, const std::string &ext, const QSize &taille)
{
    const QString f = QString::fromStdString(shp::scratchPath("tirage." + ext));
    QFile::remove(f);
    const bool ok = ext == "png"   ? p->savePng(f, taille.width(), taille.height())
                    : ext == "jpg" ? p->saveJpg(f, taille.width(), taille.height())
                                   : p->saveBmp(f, taille.width(), taille.height());
    EXPECT_TRUE(ok) << ext;
    QFile lu(f);
    EXPECT_TRUE(lu.open(QIODevice::ReadOnly));
    return lu.readAll();
}

void decrit(KaluView &v, Rendu &r)
{
    QCustomPlot *p = fenetre::plot(v);
    r.x = p->xAxis->range();
    r.y = p->yAxis->range();
    r.titre = fenetre::titre(v)->text();
    r.courbes = p->plottableCount();
    r.entrees = p->legend->itemCount();
}

const char *const FORMATS[] = {"png", "jpg", "bmp"};

// The window's load and kalu-export's save as they were: with curves.
Rendu avecCourbes(const QStringList &fichiers, const QSize &taille)
{
    Rendu r;
    auto v = fenetre::commeExport(taille);
    Capture c;
    fenetre::chargeEtAttends(*v, fichiers, false);
    r.traces = c.fin();
    for (const char *ext : FORMATS) {
        Carte::Pret pret(Carte::de(fenetre::plot(*v)));
        r.octets[ext] = enregistre(fenetre::plot(*v), ext, taille);
    }
    decrit(*v, r);
    return r;
}

// The same through a Tirage; `apres` looks at it once the pictures are saved.
Rendu sansCourbes(const QStringList &fichiers, const QSize &taille,
                  std::function<void(const Tirage &)> apres = nullptr)
{
    Rendu r;
    auto v = fenetre::commeExport(taille);
    Tirage t(v->plot(), v->carteDuPlot(), v->temoin(), v->habitsCourbes());
    Capture c;
    QEventLoop attente;
    QObject::connect(&t, &Tirage::termine, &attente, &QEventLoop::quit);
    t.lis(fichiers);
    attente.exec();
    r.traces = c.fin();
    for (const char *ext : FORMATS) {
        if (t.avecCourbes()) {
            Carte::Pret pret(Carte::de(fenetre::plot(*v)));
            r.octets[ext] = enregistre(fenetre::plot(*v), ext, taille);
        } else {
            Tirage::Pose pose(t);
            r.octets[ext] = enregistre(fenetre::plot(*v), ext, taille);
        }
    }
    decrit(*v, r);
    if (!t.avecCourbes())
        r.courbes = int(t.parties());
    if (apres)
        apres(t);
    return r;
}

void memes(const Rendu &a, const Rendu &b, const std::string &cas)
{
    for (const char *ext : FORMATS) {
        EXPECT_FALSE(a.octets.at(ext).isEmpty()) << cas << " " << ext;
        EXPECT_TRUE(a.octets.at(ext) == b.octets.at(ext)) << cas << " " << ext;
    }
    EXPECT_EQ(a.x, b.x) << cas;
    EXPECT_EQ(a.y, b.y) << cas;
    EXPECT_EQ(a.titre, b.titre) << cas;
    EXPECT_EQ(a.traces.out, b.traces.out) << cas;
    EXPECT_EQ(a.traces.err, b.traces.err) << cas;
    EXPECT_EQ(a.courbes, b.courbes) << cas;
    EXPECT_EQ(a.entrees, b.entrees) << cas;
}

TEST(Tirage, PolygonsLinesAndAMixGiveTheWindowsBytesViewAndTraces)
{
    const QString polygones = ecrit("t-carres.shp", 5, carres(80));
    const QString lignes = ecrit("t-traits.shp", 3, traits(60));
    // A header of zeros, as careless writers leave it.
    const QRectF zero;
    const QString ailleurs = ecrit("t-ailleurs.shp", 5, carres(40, 30), &zero);
    const struct {
        QStringList fichiers;
        QSize taille;
    } cas[] = {
        {{polygones}, {420, 330}},
        {{lignes}, {300, 500}},
        {{polygones, lignes}, {640, 480}},
        {{lignes, ailleurs, polygones}, {500, 400}},
    };
    for (const auto &k : cas) {
        bool sans = false;
        const Rendu b = sansCourbes(k.fichiers, k.taille,
                                    [&sans](const Tirage &t) { sans = !t.avecCourbes(); });
        EXPECT_TRUE(sans) << "no legend: no curve";
        memes(b, avecCourbes(k.fichiers, k.taille), k.fichiers.join(" ").toStdString());
    }
}

// A file the reader rejects at its third record, after giving parts; one
// cut short in its last record, read with a warning; a type not drawn.
TEST(Tirage, FilesRefusedOrDamagedAreReportedAndDrawnAsTheWindowDoes)
{
    std::vector<shp::Record> casse = traits(1200);
    casse[1100].type = 1;
    const QString refuse = ecrit("t-refuse.shp", 3, casse);
    shp::Bytes b = shp::file(5, carres(50));
    b.resize(b.size() - 8);
    ASSERT_TRUE(shp::write(shp::scratchPath("t-coupe.shp"), b));
    const QString coupe = QString::fromStdString(shp::scratchPath("t-coupe.shp"));
    ASSERT_TRUE(shp::write(shp::scratchPath("t-z.shp"), shp::header(13, 100, 0, 0, 5, 5)));
    const QString z = QString::fromStdString(shp::scratchPath("t-z.shp"));
    const QString lignes = ecrit("t-traits.shp", 3, traits(60));
    const QStringList fichiers = {lignes, refuse, coupe, z};
    const Rendu a = sansCourbes(fichiers, {400, 300});
    EXPECT_EQ(std::count(a.traces.err.begin(), a.traces.err.end(), '\n'), 4) << a.traces.err;
    EXPECT_NE(a.traces.err.find("erreur fscan_shp()!\n"), std::string::npos);
    EXPECT_NE(a.traces.out.find("cut short"), std::string::npos) << a.traces.out;
    memes(a, avecCourbes(fichiers, {400, 300}), "refused, cut, not drawn");
}

// The last file accepted has fewer than 30 parts: its legend shows every
// curve's item, so the curves are made, as the window's load makes them.
TEST(Tirage, ALegendShownGetsTheWindowsCurves)
{
    const QStringList fichiers = {ecrit("t-carres.shp", 5, carres(80)),
                                  ecrit("t-peu.shp", 3, traits(5))};
    bool courbes = false;
    const Rendu a = sansCourbes(fichiers, {420, 330},
                                [&courbes](const Tirage &t) { courbes = t.avecCourbes(); });
    EXPECT_TRUE(courbes);
    EXPECT_EQ(a.entrees, 80 + 27 + 5 + 2);
    memes(a, avecCourbes(fichiers, {420, 330}), "legend");
}

// Parts are drawn once, whether the header tells the points' box, a wider
// one, or one they go beyond: the pictures then wait for the file's box.
TEST(Tirage, AHeaderThatLiesCostsNoDrawing)
{
    const std::vector<shp::Record> r = carres(3000);
    const QRectF etroite(0, 0, 5, 5);
    const QString juste = ecrit("t-juste.shp", 5, r),
                  menteuse = ecrit("t-ment.shp", 5, r, &etroite);
    for (const QString &f : {juste, menteuse}) {
        size_t dessinees = 0, parties = 0;
        const Rendu a = sansCourbes({f}, {600, 450}, [&](const Tirage &t) {
            dessinees = t.partiesDessinees();
            parties = t.parties();
        });
        EXPECT_EQ(parties, 4000u);
        EXPECT_EQ(dessinees, parties) << f.toStdString();
        memes(a, avecCourbes({f}, {600, 450}), f.toStdString());
    }
}

// Several files: the pictures begin with the file after which no header
// declares points beyond the view, and no part is drawn twice, whichever
// file comes first.
TEST(Tirage, SeveralFilesDrawEachPartOnce)
{
    const QString petit = ecrit("t-petit.shp", 5, carres(300));
    const QString grand = ecrit("t-grand.shp", 3, traits(2000));
    for (const QStringList &fichiers : {QStringList{petit, grand}, QStringList{grand, petit}}) {
        size_t dessinees = 0, parties = 0;
        const Rendu a = sansCourbes(fichiers, {500, 400}, [&](const Tirage &t) {
            dessinees = t.partiesDessinees();
            parties = t.parties();
        });
        EXPECT_EQ(parties, 400u + 2500u);
        EXPECT_EQ(dessinees, parties) << fichiers.join(" ").toStdString();
        memes(a, avecCourbes(fichiers, {500, 400}), fichiers.join(" ").toStdString());
    }
}

} // namespace
