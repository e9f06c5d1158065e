// SPDX-License-Identifier: GPL-3.0-or-later
// The window with odd data, through the Explorer action as a user reaches
// it: coordinates that are not numbers or are infinite, a path with letters
// beyond ASCII, and a read-only file opened by a user without privileges.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>

#include <cmath>
#include <limits>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "capture.h"
#include "explorateur.h"
#include "fenetre.h"
#include "modal.h"
#include "shpwriter.h"

namespace
{

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double INF = std::numeric_limits<double>::infinity();

// Opens the Explorer dialog (Qt's own, not the platform's) and, from a timer,
// chooses `fichiers` in `dossier`. Returns what the program wrote.
Sorties explore(KaluView &v, const QString &dossier, const QStringList &fichiers)
{
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    fenetre::repondra<QFileDialog>([&](QFileDialog *d) {
        fenetre::choisit(d, dossier, fichiers);
        return true;
    });
    return fenetre::exploreEtAttends(v);
}

QString scratch()
{
    return QString::fromUtf8(shp::scratchPath("").c_str());
}

bool rangeValide(const QCPRange &r)
{
    return std::isfinite(r.lower) && std::isfinite(r.upper) && r.lower < r.upper &&
           QCPRange::validRange(r);
}

// The window after the choice of `fichiers`, shown with a fixed plot size.
class Bizarre : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        v->show();
        ASSERT_TRUE(fenetre::fixeAxisRect(*v, 400, 300));
    }

    // Every axis range is usable, the scales are equal, and every finite point
    // of every curve lies inside the ranges.
    void verifieCadre()
    {
        ASSERT_TRUE(rangeValide(p->xAxis->range()))
            << p->xAxis->range().lower << " " << p->xAxis->range().upper;
        ASSERT_TRUE(rangeValide(p->yAxis->range()))
            << p->yAxis->range().lower << " " << p->yAxis->range().upper;
        const double ux = p->xAxis->range().size() / p->axisRect()->width();
        const double uy = p->yAxis->range().size() / p->axisRect()->height();
        EXPECT_NEAR(ux / uy, 1.0, 0.02);
        int vus = 0;
        for (int i = 0; i < p->plottableCount(); ++i) {
            QCPCurve *c = qobject_cast<QCPCurve *>(p->plottable(i));
            for (auto it = c->data()->constBegin(); it != c->data()->constEnd(); ++it) {
                if (!std::isfinite(it->key) || !std::isfinite(it->value))
                    continue;
                EXPECT_TRUE(p->xAxis->range().contains(it->key)) << it->key;
                EXPECT_TRUE(p->yAxis->range().contains(it->value)) << it->value;
                ++vus;
            }
        }
        EXPECT_GT(vus, 0);
    }

    std::unique_ptr<KaluView> v = fenetre::nouvelle();
    QCustomPlot *p = fenetre::plot(*v);
};

TEST_F(Bizarre, NotANumberAndInfiniteCoordinatesLeaveTheOtherCurvesInView)
{
    // A sound file, then one whose records mix odd coordinates with sound
    // ones, and a record with no sound point at all.
    shp::write(shp::scratchPath("sain.shp"), shp::file(3, {{3, {{{10, 40}, {12, 41}}}}}));
    shp::write(
        shp::scratchPath("bizarre.shp"),
        shp::file(5, {{5, {{{20, 45}, {NaN, 46}, {21, INF}, {-INF, 47}, {22, 44}, {20, 45}}}},
                      {3, {{{NaN, NaN}, {INF, -INF}}}},
                      {3, {{{15, NaN}, {16, 43}}}}}));
    Sorties s = explore(*v, scratch(), {"sain.shp", "bizarre.shp"});
    EXPECT_EQ(s.err, "");
    ASSERT_EQ(p->plottableCount(), 4);
    verifieCadre();
    // The sound points of both files are framed: 10..22 by 40..45 at least.
    EXPECT_LE(p->xAxis->range().lower, 10);
    EXPECT_GE(p->xAxis->range().upper, 22);
    EXPECT_LE(p->yAxis->range().lower, 40);
    EXPECT_GE(p->yAxis->range().upper, 45);
    // A polygon's ring keeps its sound vertices only, since a fill cannot
    // cross a gap; a line keeps each odd point as a gap (NaN).
    QCPCurve *anneau = qobject_cast<QCPCurve *>(p->plottable(1));
    ASSERT_EQ(anneau->dataCount(), 3);
    EXPECT_EQ(anneau->data()->at(1)->t, 4);
    EXPECT_EQ(anneau->data()->at(1)->key, 22);
    QCPCurve *ligne = qobject_cast<QCPCurve *>(p->plottable(3));
    ASSERT_EQ(ligne->dataCount(), 2);
    EXPECT_TRUE(std::isnan(ligne->data()->at(0)->key) && std::isnan(ligne->data()->at(0)->value));
    EXPECT_EQ(ligne->data()->at(1)->value, 43);
    p->replot(); // drawing gaps must neither hang nor crash
    // Still clickable where it is drawn: its box holds its placed points only.
    const QPointF milieu(p->xAxis->coordToPixel(21), p->yAxis->coordToPixel(44.5));
    EXPECT_GE(anneau->selectTest(milieu, false, nullptr), 0);
    EXPECT_LT(anneau->selectTest(milieu, false, nullptr), p->selectionTolerance());
    fenetre::capture(*v, "odd_data_nan_inf");
}

TEST_F(Bizarre, CoordinatesBeyondWhatThePlotCanPlaceAreGapsToo)
{
    shp::write(shp::scratchPath("loin.shp"),
               shp::file(3, {{3, {{{1e308, 0}, {5, 5}, {6, 7}, {-1e308, -1e308}}}}}));
    Sorties s = explore(*v, scratch(), {"loin.shp"});
    EXPECT_EQ(s.err, "");
    ASSERT_EQ(p->plottableCount(), 1);
    verifieCadre();
    EXPECT_LE(p->xAxis->range().lower, 5);
    EXPECT_GE(p->xAxis->range().upper, 6);
    EXPECT_FALSE(p->xAxis->range().contains(1e308));
}

TEST_F(Bizarre, NoSoundPointAtAllKeepsUsableRanges)
{
    shp::write(shp::scratchPath("vide.shp"), shp::file(3, {{3, {{{NaN, NaN}, {INF, INF}}}}}));
    const QCPRange x = p->xAxis->range(), y = p->yAxis->range();
    explore(*v, scratch(), {"vide.shp"});
    EXPECT_EQ(p->plottableCount(), 1);
    EXPECT_TRUE(rangeValide(p->xAxis->range()));
    EXPECT_TRUE(rangeValide(p->yAxis->range()));
    // Nothing to frame: only the equal-scale adjustment moved the ranges.
    EXPECT_TRUE(p->xAxis->range().contains(x.center()));
    EXPECT_TRUE(p->yAxis->range().contains(y.center()));
}

TEST_F(Bizarre, NonAsciiPathLoadsThroughExplorer)
{
    const QString dossier = QDir::cleanPath(scratch() + QString::fromUtf8("/cartes été Ωμέγα"));
    ASSERT_TRUE(QDir().mkpath(dossier));
    const QString nom = QString::fromUtf8("Île-de-France 東京 ñ.shp");
    const std::string chemin = (dossier + "/" + nom).toUtf8().toStdString();
    ASSERT_TRUE(shp::write(chemin, shp::file(3, {{3, {{{2.35, 48.85}, {139.7, 35.7}}}}})));
    Sorties s = explore(*v, dossier, {nom});
    EXPECT_EQ(s.err, "");
    ASSERT_EQ(p->plottableCount(), 1);
    EXPECT_EQ(fenetre::titre(*v)->text(), "Shapefile: '" + dossier + "/" + nom + "'");
    verifieCadre();
}

// Run by ReadOnlyFileLoadsForAnUnprivilegedUser in a child process that has
// dropped every privilege: a file the user may read but not write loads.
TEST_F(Bizarre, DISABLED_ReadOnlyFileAsTheUnprivilegedUser)
{
    const char *chemin = getenv("KALU_ODD_READONLY");
    ASSERT_NE(chemin, nullptr);
    ASSERT_NE(getuid(), 0u);
    ASSERT_NE(access(chemin, R_OK), -1);
    ASSERT_EQ(access(chemin, W_OK), -1); // the permission does hold for this user
    const QString f = QString::fromUtf8(chemin);
    Sorties s = explore(*v, QFileInfo(f).absolutePath(), {QFileInfo(f).fileName()});
    EXPECT_EQ(s.err, "");
    EXPECT_EQ(p->plottableCount(), 1);
}

TEST(LectureSeule, ReadOnlyFileLoadsForAnUnprivilegedUser)
{
    // As root, permissions do not stop a write open: the check runs in a
    // child of this test program as user and group 65534, without groups.
    // The file is read-only, in a directory that user can enter and where
    // the child keeps its own scratch files.
    char modele[] = "/tmp/kalu-odd-XXXXXX";
    ASSERT_NE(mkdtemp(modele), nullptr);
    const std::string dossier = modele;
    ASSERT_EQ(chmod(dossier.c_str(), 0777), 0);
    const std::string chemin = dossier + "/lecture-seule.shp";
    ASSERT_TRUE(shp::write(chemin, shp::file(5, {{5, {{{0, 0}, {0, 1}, {1, 1}, {0, 0}}}}})));
    ASSERT_EQ(chmod(chemin.c_str(), 0444), 0);

    // The checkout may sit where that user cannot go (root's home): the
    // child runs from a copy of this program and of the leak suppressions.
    const QString rep = QString::fromStdString(dossier);
    const QString programme = rep + "/kalu_test_odd_data";
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationFilePath(), programme));
    ASSERT_TRUE(QFile::copy(KALU_SOURCE_DIR "/tests/lsan.supp", rep + "/lsan.supp"));
    ASSERT_EQ(chmod(programme.toUtf8().constData(), 0755), 0);
    ASSERT_EQ(chmod((rep + "/lsan.supp").toUtf8().constData(), 0644), 0);

    QProcess enfant;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KALU_ODD_READONLY", QString::fromStdString(chemin));
    // Directories of its own that the unprivileged user may write to.
    env.insert("KALU_SCRATCH", rep);
    env.insert("TMPDIR", rep);
    env.insert("XDG_RUNTIME_DIR", rep);
    env.insert("LSAN_OPTIONS", "suppressions=" + rep + "/lsan.supp:print_suppressions=0");
    enfant.setProcessEnvironment(env);
    enfant.setProcessChannelMode(QProcess::MergedChannels);
    const QStringList arguments = {
        "--reuid=65534",
        "--regid=65534",
        "--clear-groups",
        programme,
        "--gtest_also_run_disabled_tests",
        "--gtest_filter=Bizarre.DISABLED_ReadOnlyFileAsTheUnprivilegedUser"};
    if (getuid() == 0) {
        enfant.start("setpriv", arguments);
    } else {
        // Already without privileges: the child runs as this user.
        enfant.start(programme, arguments.mid(4));
    }
    ASSERT_TRUE(enfant.waitForFinished(120000));
    const QString sortie = QString::fromUtf8(enfant.readAll());
    EXPECT_EQ(enfant.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(enfant.exitCode(), 0) << sortie.toStdString();
    EXPECT_TRUE(sortie.contains("[  PASSED  ] 1 test")) << sortie.toStdString();

    QDir(rep).removeRecursively();
}

} // namespace
