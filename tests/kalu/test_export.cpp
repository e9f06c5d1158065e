// SPDX-License-Identifier: GPL-3.0-or-later
// kalu-export as a process: the pictures it writes, the same picture as the
// viewer's after an Explorer choice, and every way it refuses to write one.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>

#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

#include "explorateur.h"
#include "fenetre.h"
#include "modal.h"
#include "plafond.h"
#include "shpwriter.h"

// Failures show texts, not UTF-16 code units.
void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace
{

struct Issue {
    int code;
    QString out;
    QString err;   // trace lines only
    QString brute; // the whole of stderr
};

// Only the trace lines: Qt may add warnings about its environment.
QString traces(const QByteArray &texte)
{
    QString t;
    for (const QString &ligne : QString::fromUtf8(texte).split('\n', Qt::SkipEmptyParts))
        if (ligne.trimmed().startsWith("[") || ligne.startsWith("usage:"))
            t += ligne + "\n";
    return t;
}

Issue exporte(const QStringList &args,
              const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(KALU_EXPORT_EXE, args);
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    const QByteArray err = p.readAllStandardError();
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), traces(err),
            QString::fromUtf8(err)};
}

QString chemin(const std::string &nom)
{
    return QString::fromStdString(shp::scratchPath(nom));
}

// Path of an output, with no file left there by an earlier run.
QString sortie(const std::string &nom)
{
    QFile::remove(chemin(nom));
    return chemin(nom);
}

QString ecrit(const std::string &nom, const shp::Bytes &octets)
{
    EXPECT_TRUE(shp::write(shp::scratchPath(nom), octets));
    return chemin(nom);
}

// A filled square, a road south and east of it (its ends stretch the data
// beyond the roads, so that no road lies on the frame of the axes), and a
// file the reader rejects (wrong file code).
QString carre()
{
    return ecrit("carre.shp", shp::file(5, {{5, {{{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}}}}}));
}

QString route()
{
    return ecrit(
        "route.shp",
        shp::file(3, {{3, {{{-6, -6}, {-5, -2}, {15, -2}}, {{15, -2}, {15, 15}, {16, 16}}}}}));
}

QString casse()
{
    shp::Bytes b = shp::file(3, {{3, {{{100, 100}, {200, 200}}}}});
    b[3] = 0x0b; // file code 9995
    return ecrit("casse.shp", b);
}

const QString ERREUR = "[<../kalu/kalu-export.cpp.main>] ";

bool existe(const QString &f)
{
    return QFileInfo::exists(f);
}

// No temporary picture left beside the outputs.
QStringList restes()
{
    return QDir(chemin("")).entryList({".kalu-export-*"}, QDir::Files | QDir::Hidden);
}

// The plot made ready as kalu-export makes it, to know where its axes put
// the data in a picture of w x h pixels.
std::unique_ptr<KaluView> jumelle(int w, int h, const QStringList &fichiers)
{
    auto v = fenetre::nouvelle();
    QCustomPlot *p = fenetre::plot(*v);
    p->resize(w, h);
    p->setViewport(p->rect());
    p->replot();
    v->adjustEqualScale();
    fenetre::chargeEtAttends(*v, fichiers);
    return v;
}

QPoint pixel(KaluView &v, double x, double y)
{
    QCustomPlot *p = fenetre::plot(v);
    return QPoint(int(p->xAxis->coordToPixel(x)), int(p->yAxis->coordToPixel(y)));
}

// Some pixel within `r` of `c` satisfies `test`. Antialiasing spreads a
// one-pixel line over two rows or columns, so lines are looked for nearby.
template <typename Test> bool autour(const QImage &img, QPoint c, int r, Test test)
{
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx)
            if (img.valid(c.x() + dx, c.y() + dy) && test(img.pixelColor(c.x() + dx, c.y() + dy)))
                return true;
    return false;
}

bool bleu(const QColor &c) // lineColor (0, 102, 255), maybe half blended
{
    return c.red() < 140 && c.blue() > 240 && c.green() < 200;
}

bool vert(const QColor &c) // polygonColor (0, 204, 0), maybe half blended
{
    return c.green() > 195 && c.red() < 140 && c.blue() < 140;
}

bool proche(const QColor &c, int r, int g, int b)
{
    return std::abs(c.red() - r) <= 3 && std::abs(c.green() - g) <= 3 &&
           std::abs(c.blue() - b) <= 3;
}

TEST(Export, HelpPrintsUsage)
{
    Issue r = exporte({"--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(
        r.out.startsWith("usage: kalu-export [--size WxH] [--verbose] OUTPUT FILE.shp...\n"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("--verbose (or -v)"));
    EXPECT_EQ(r.err, "");
}

TEST(Export, PngHasTheSizeAndTheColoursWhereTheDataLies)
{
    const QStringList fichiers = {carre(), route()};
    const QString png = sortie("carte.png");
    Issue r = exporte(QStringList{"--size", "420x330", "--verbose", png} + fichiers);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Nombre fichiers *.shp : 2\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith(png + " written (420x330)\n")) << r.out.toStdString();

    QImage img(png);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(420, 330));

    auto v = jumelle(420, 330, fichiers);
    // Inside the square, off the grid lines: polygonFillColor (0, 204, 0, 85)
    // over white.
    const QColor dedans = img.pixelColor(pixel(*v, 3.3, 6.7));
    EXPECT_TRUE(proche(dedans, 170, 238, 170)) << dedans.name().toStdString();
    EXPECT_TRUE(autour(img, pixel(*v, 0, 3.3), 1, vert));
    EXPECT_TRUE(autour(img, pixel(*v, 10, 6.7), 1, vert));
    EXPECT_TRUE(autour(img, pixel(*v, 5.3, -2), 1, bleu));
    EXPECT_TRUE(autour(img, pixel(*v, 15, 1.3), 1, bleu));
    // Away from the data, the background.
    const QColor fond = img.pixelColor(pixel(*v, -3.7, 11.3));
    EXPECT_TRUE(proche(fond, 255, 255, 255)) << fond.name().toStdString();
    EXPECT_FALSE(autour(img, pixel(*v, 5.3, 3.3), 3, bleu));
}

TEST(Export, DefaultSizeAndTheOtherRasterFormats)
{
    const QString f = carre();
    for (const char *nom : {"defaut.png", "defaut.jpg", "defaut.bmp", "DEFAUT.PNG"}) {
        const QString out = sortie(nom);
        Issue r = exporte({out, f});
        ASSERT_EQ(r.code, 0) << nom << r.err.toStdString();
        QImage img(out);
        EXPECT_EQ(img.size(), QSize(800, 600)) << nom;
    }
    QImage jpg(chemin("defaut.jpg")), bmp(chemin("defaut.bmp"));
    auto v = jumelle(800, 600, {f});
    const QPoint dedans = pixel(*v, 3.3, 6.7);
    EXPECT_TRUE(proche(bmp.pixelColor(dedans), 170, 238, 170));
    EXPECT_NEAR(jpg.pixelColor(dedans).green(), 238, 12);
    EXPECT_TRUE(restes().isEmpty()) << restes().join(" ").toStdString();
}

TEST(Export, PdfIsAVectorDocument)
{
    const QString pdf = sortie("carte.pdf");
    Issue r = exporte({"--size", "300x200", pdf, carre(), route()});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray octets = f.readAll();
    EXPECT_TRUE(octets.startsWith("%PDF-"));
    EXPECT_TRUE(octets.trimmed().endsWith("%%EOF"));
    EXPECT_GT(octets.size(), 2000);
}

TEST(Export, ARejectedFileIsReportedAndDrawsNothing)
{
    const QString seul = sortie("seul.png"), avec = sortie("avec.png");
    ASSERT_EQ(exporte({"--size", "300x240", seul, carre()}).code, 0);
    Issue r = exporte({"--size", "300x240", avec, casse(), carre(), casse()});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.count("erreur fscan_shp()!\n"), 2) << r.err.toStdString();
    EXPECT_EQ(QImage(avec), QImage(seul));
}

TEST(Export, QuietByDefaultEveryReportNamesItsFile)
{
    const QString rejete = casse(), bon = carre();
    // Two records, the second cut short: the first is drawn after a warning.
    shp::Bytes b = shp::file(3, {{3, {{{0, 0}, {1, 1}}}}, {3, {{{2, 2}, {3, 3}}}}});
    b.resize(b.size() - 8);
    const QString coupe = ecrit("coupe.shp", b);
    const QString png = sortie("discret.png");
    Issue r = exporte({png, rejete, bon, coupe});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    // The skipped file named right after the reader's reports on it.
    EXPECT_TRUE(r.err.endsWith("erreur fscan_shp()!\n" + ERREUR + "File '" + rejete +
                               "' skipped: it could not be read!\n"))
        << r.err.toStdString();
    // Standard output: the reader's warning and the file it concerns, no trace.
    EXPECT_TRUE(r.out.startsWith("[<../src/zolshp.cpp.fscan_shp>] record 2 cut short"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith(ERREUR + "File '" + coupe + "' read, with the warnings above!\n"))
        << r.out.toStdString();
    EXPECT_EQ(r.out.count('\n'), 2) << r.out.toStdString();

    for (const char *bavard : {"--verbose", "-v"}) {
        r = exporte({bavard, png, bon});
        ASSERT_EQ(r.code, 0) << bavard;
        EXPECT_TRUE(r.out.contains("Nombre fichiers *.shp : 1\nrcdi=0, partn=1\n"))
            << r.out.toStdString();
    }
}

// No display and, as for root in CI, no runtime directory: stderr holds
// kalu-export's reports and nothing of Qt's.
TEST(Export, RunsWithoutAnyDisplay)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *var : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"})
        env.remove(var);
    const QString png = sortie("sans-ecran.png");
    Issue r = exporte({"--size", "200x150", png, carre(), casse()}, env);
    ASSERT_EQ(r.code, 0) << r.brute.toStdString();
    EXPECT_EQ(QImage(png).size(), QSize(200, 150));
    EXPECT_TRUE(r.err.endsWith("skipped: it could not be read!\n")) << r.err.toStdString();
    EXPECT_EQ(r.brute, r.err);
}

TEST(Export, MalformedCommandLines)
{
    const QString f = carre();
    const QString besoin = ERREUR + "an output and at least one shapefile are needed!\n";
    Issue r = exporte({});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.startsWith(besoin)) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("usage: kalu-export"));
    r = exporte({sortie("seule-sortie.png")});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.startsWith(besoin));
    EXPECT_FALSE(existe(chemin("seule-sortie.png")));

    for (const char *nom : {"carte.gif", "carte", "carte.png.txt", "carte."}) {
        r = exporte({chemin(nom), f});
        EXPECT_EQ(r.code, 2) << nom;
        EXPECT_EQ(r.err, ERREUR + "output '" + chemin(nom) +
                             "' has no known extension (.png, .jpg, .bmp or .pdf)!\n");
        EXPECT_FALSE(existe(chemin(nom))) << nom;
    }

    const QString taille = ERREUR + "--size wants WxH, from 1x1 to 10000x10000!\n";
    const QString png = sortie("taille.png");
    for (const char *t : {"0x10", "10x0", "10x", "x10", "10x10x", "10X10", "abc", "-5x5",
                          "10001x10", "100000x10", " 10x10", "10x10 "}) {
        r = exporte({"--size", t, png, f});
        EXPECT_EQ(r.code, 2) << t;
        EXPECT_EQ(r.err, taille) << t;
    }
    r = exporte({"--size"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, taille);
    EXPECT_FALSE(existe(png));
    EXPECT_EQ(exporte({"--size", "10000x1", png, f}).code, 0);
}

TEST(Export, MissingInputs)
{
    const QString out = sortie("entrees.png");
    Issue r = exporte({out, carre(), "/nulle/part.shp"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, ERREUR + "No file at path '/nulle/part.shp'!\n");
    EXPECT_EQ(r.out, "") << "nothing loaded before every input was checked";

    // Not waited on, nor read: refused as they are.
    QDir().mkpath(chemin("dossier.shp"));
    const QString fifo = chemin("tube.shp");
    QFile::remove(fifo);
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &e : {chemin("dossier.shp"), fifo}) {
        r = exporte({out, carre(), e});
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, ERREUR + "Input '" + e + "' is not a regular file!\n");
    }
    EXPECT_FALSE(existe(out));
}

// As root every file is readable: kalu-export then runs as user and group
// 65534, without groups, from a copy of itself in a directory that user
// may enter and write in, on root's file of mode 0600.
TEST(Export, UnreadableInput)
{
    char modele[] = "/tmp/kalu-export-XXXXXX";
    ASSERT_NE(mkdtemp(modele), nullptr);
    const QString rep = QString::fromLocal8Bit(modele);
    ASSERT_EQ(chmod(modele, 0777), 0);
    const QString out = rep + "/illisible.png", cache = rep + "/cache.shp";
    ASSERT_TRUE(QFile::copy(carre(), cache));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    Issue r;
    if (geteuid() == 0) {
        ASSERT_EQ(chmod(QFile::encodeName(cache).constData(), 0600), 0);
        const QString programme = rep + "/kalu-export";
        ASSERT_TRUE(QFile::copy(KALU_EXPORT_EXE, programme));
        ASSERT_TRUE(QFile::copy(KALU_SOURCE_DIR "/tests/lsan.supp", rep + "/lsan.supp"));
        ASSERT_EQ(chmod(QFile::encodeName(programme).constData(), 0755), 0);
        ASSERT_EQ(chmod(QFile::encodeName(rep + "/lsan.supp").constData(), 0644), 0);
        env.insert("TMPDIR", rep);
        env.insert("XDG_RUNTIME_DIR", rep);
        env.insert("LSAN_OPTIONS", "suppressions=" + rep + "/lsan.supp:print_suppressions=0");
        QProcess p;
        p.setProcessEnvironment(env);
        p.start("setpriv",
                {"--reuid=65534", "--regid=65534", "--clear-groups", programme, out, cache});
        ASSERT_TRUE(p.waitForFinished(60000));
        r = {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
             traces(p.readAllStandardError()), QString()};
    } else {
        QFile::setPermissions(cache, QFileDevice::WriteOwner);
        r = exporte({out, cache}, env);
    }
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, ERREUR + "File '" + cache + "' is not readable!\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(existe(out));
    QFile::setPermissions(cache, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QDir(rep).removeRecursively();
}

TEST(Export, EveryInputRejectedWritesNothing)
{
    // An output already there is left as it was.
    const QString out = sortie("rejet.png");
    QFile ancien(out);
    ASSERT_TRUE(ancien.open(QIODevice::WriteOnly));
    ancien.write("ancienne image");
    ancien.close();
    Issue r = exporte({out, casse(), casse()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.count("erreur fscan_shp()!\n"), 2);
    EXPECT_TRUE(r.err.endsWith(ERREUR + "no shape could be drawn, nothing written!\n"))
        << r.err.toStdString();
    ASSERT_TRUE(ancien.open(QIODevice::ReadOnly));
    EXPECT_EQ(ancien.readAll(), "ancienne image");

    // A valid file without records draws nothing either.
    const QString vide = ecrit("vide.shp", shp::file(5, {}));
    r = exporte({sortie("vide.png"), vide});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.endsWith(ERREUR + "no shape could be drawn, nothing written!\n"));
    EXPECT_FALSE(existe(chemin("vide.png")));
    EXPECT_TRUE(restes().isEmpty());
}

// A file skipped is told as the window tells it, whichever load draws
// (raster without curves, PDF with them); a file whose every point lies
// where the plot can't place it draws nothing.
TEST(Export, WhatIsSkippedOrNotDrawnIsToldAsTheWindowTellsIt)
{
    const QString polyz = ecrit("polyz.shp", shp::file(15, {{15, {{{0, 0}, {1, 1}}}}}));
    const double nan = std::nan(""), inf = HUGE_VAL;
    const QString ailleurs = ecrit(
        "ailleurs.shp",
        shp::file(5, {{5, {{{nan, 0}, {inf, 1}, {nan, 0}}}}, {3, {{{0, -inf}, {-1e308, 2}}}}}));
    for (const std::string ext : {"png", "pdf"}) {
        const QString out = sortie("saute." + ext);
        Issue r = exporte({out, polyz, carre()});
        EXPECT_EQ(r.code, 0) << ext;
        EXPECT_EQ(r.err, "[<../src/zolshp.cpp.fscan_shp>] invalid file shape type '15'!\n"
                         "[<../kalu/kaluview.cpp.fscanshp_cpt>] erreur fscan_shp()!\n" +
                             ERREUR + "File '" + polyz +
                             "' skipped: PolygonZ shapes are not drawn!\n")
            << ext;
        r = exporte({out, ailleurs, carre()});
        EXPECT_EQ(r.code, 0) << ext << r.err.toStdString();
        r = exporte({sortie("nulle-part." + ext), ailleurs});
        EXPECT_EQ(r.code, 1) << ext;
        EXPECT_EQ(r.err, ERREUR + "File '" + ailleurs +
                             "' has no point that can be drawn (NaN, infinite or too large "
                             "coordinates)!\n" +
                             ERREUR + "no shape could be drawn, nothing written!\n")
            << ext;
        EXPECT_FALSE(existe(chemin("nulle-part." + ext))) << ext;
    }
    EXPECT_TRUE(restes().isEmpty());
}

// Under a cap of the address space, a map too big is refused in the memory
// check's own words, which name it; the next file is drawn.
TEST(Export, AMemoryRefusalIsToldInItsOwnWordsOnly)
{
#ifdef KALU_SOUS_ASAN
    GTEST_SKIP() << "AddressSanitizer can't run under an address-space cap";
#endif
    const int n = 4000000; // 16 MB of parts without points; gigabytes of curves
    const QString gros = ecrit("gros.shp", plafond::partiesVides(n));
    // The raster picture reads without curves, the PDF loads as the window.
    for (const char *nom : {"plafond.png", "plafond.pdf"}) {
        QProcess p;
        plafond::exporte(p, {sortie(nom), gros, carre()});
        ASSERT_TRUE(p.waitForFinished(60000));
        const QString err = traces(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), 0) << nom << err.toStdString();
        EXPECT_TRUE(
            err.startsWith("[<../kalu/kalucharge.cpp.fscanshp_cpt>] not enough memory to load '" +
                           gros + "': ") &&
            err.endsWith(" MB left!\n") && err.count('\n') == 1)
            << nom << err.toStdString();
    }
}

TEST(Export, UnwritableOutputRefusedBeforeLoading)
{
    // Verbose: a load would show its trace on standard output.
    const QString f = carre();
    const QString ailleurs = chemin("nulle-part/carte.png");
    Issue r = exporte({"-v", ailleurs, f});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.startsWith(ERREUR + "cannot write '" + ailleurs + "': "))
        << r.err.toStdString();
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(existe(ailleurs));

    // A directory in the way is never replaced.
    const QString dossier = chemin("dossier.pdf");
    QDir().mkpath(dossier);
    r = exporte({"-v", dossier, f});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, ERREUR + "cannot write '" + dossier + "': not a regular file!\n");
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(QFileInfo(dossier).isDir());
    EXPECT_TRUE(restes().isEmpty()) << restes().join(" ").toStdString();
}

// Answers the Explorer's file dialog with `fichiers`, all in one directory.
void choisitDansLExplorateur(const QStringList &fichiers)
{
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    fenetre::repondra<QFileDialog>([fichiers](QFileDialog *d) {
        QStringList noms;
        for (const QString &f : fichiers)
            noms << QFileInfo(f).fileName();
        fenetre::choisit(d, QFileInfo(fichiers.first()).absolutePath(), noms);
        return true;
    });
}

TEST(Export, SamePictureAsTheViewer)
{
    const QStringList fichiers = {route(), carre()};
    auto v = fenetre::nouvelle();
    v->show();
    QCustomPlot *p = fenetre::plot(*v);
    // The plot itself 520 x 380 pixels.
    for (int essai = 0; essai < 8 && p->size() != QSize(520, 380); ++essai) {
        v->resize(v->width() + 520 - p->width(), v->height() + 380 - p->height());
        QApplication::processEvents();
    }
    ASSERT_EQ(p->size(), QSize(520, 380));
    v->adjustEqualScale();
    choisitDansLExplorateur(fichiers);
    EXPECT_TRUE(fenetre::declenche(*v, "&Explorer"));
    fenetre::attendsChargement(*v);
    ASSERT_EQ(p->plottableCount(), 3);
    ASSERT_EQ(fenetre::titre(*v)->text(), "Shapefile: '" + fichiers[1] + "'");
    const QImage vue = p->toPixmap().toImage().convertToFormat(QImage::Format_RGB32);

    const QString png = sortie("comme-la-vue.png");
    Issue r = exporte(QStringList{"--size", "520x380", png} + fichiers);
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QImage exporte = QImage(png).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(exporte.size(), vue.size());
    int differents = 0;
    for (int y = 0; y < vue.height(); ++y)
        for (int x = 0; x < vue.width(); ++x)
            differents += vue.pixel(x, y) != exporte.pixel(x, y);
    EXPECT_EQ(differents, 0) << "pixels that differ out of " << vue.width() * vue.height();
}

// Maps of 30 parts and more, which show no legend: kalu-export draws them
// without making a curve, in the very bytes the window's own export gives
// after the same load, with its curves.
TEST(Export, MapsWithoutLegendHaveTheBytesOfTheWindowsExport)
{
    std::vector<shp::Record> carres, traits;
    for (int k = 0; k < 45; ++k) {
        const double x = k % 9, y = k / 9;
        carres.push_back({5, {{{x, y}, {x, y + 0.7}, {x + 0.7, y + 0.7}, {x + 0.7, y}, {x, y}}}});
        traits.push_back({3, {{{x - 1, y + 0.3}, {x + 0.4, y + 1.1}, {x + 1.2, y - 0.2}}}});
    }
    const QString polygones = ecrit("carres.shp", shp::file(5, carres));
    const QString lignes = ecrit("traits.shp", shp::file(3, traits));
    const QSize taille(460, 350);
    for (const QStringList &fichiers :
         {QStringList{polygones}, QStringList{lignes}, QStringList{lignes, polygones}}) {
        auto v = fenetre::commeExport(taille);
        QCustomPlot *p = fenetre::plot(*v);
        fenetre::chargeEtAttends(*v, fichiers, false);
        ASSERT_FALSE(p->legend->visible());
        for (const char *ext : {"png", "bmp"}) {
            const QString fenetre = sortie(std::string("fenetre.") + ext),
                          commande = sortie(std::string("commande.") + ext);
            {
                ::Carte::Pret pret(::Carte::de(p));
                ASSERT_TRUE(ext[0] == 'p' ? p->savePng(fenetre, taille.width(), taille.height())
                                          : p->saveBmp(fenetre, taille.width(), taille.height()));
            }
            Issue r = exporte(QStringList{"--size", "460x350", commande} + fichiers);
            ASSERT_EQ(r.code, 0) << r.err.toStdString();
            QFile a(fenetre), b(commande);
            ASSERT_TRUE(a.open(QIODevice::ReadOnly));
            ASSERT_TRUE(b.open(QIODevice::ReadOnly));
            EXPECT_TRUE(a.readAll() == b.readAll()) << fichiers.join(" ").toStdString() << ext;
        }
    }
}

} // namespace
