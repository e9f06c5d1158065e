// SPDX-License-Identifier: GPL-3.0-or-later
//
// A map too big for the memory the process may still take is refused as a
// file that fails is: a message naming the file, the plot as it was, the
// next file loaded. Each case runs in a child process whose address space
// is capped (RLIMIT_AS), the test program itself for the window. Under
// AddressSanitizer, whose shadow memory needs more address space than any
// cap leaves, they are skipped.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <cstdlib>
#include <sys/resource.h>

#include "carte.h"
#include "plafond.h"

namespace
{

using namespace fenetre;

const char ENFANT[] = "KALU_TEST_MEMOIRE_ENFANT";
const int PARTIES = 4000000; // 16 MB of file; gigabytes of curves

// One Polygon record of `n` parts without points.
std::string partiesVides(int n)
{
    const std::string chemin = shp::scratchPath("parties-vides.shp");
    EXPECT_TRUE(shp::write(chemin, plafond::partiesVides(n)));
    return chemin;
}

std::string valide()
{
    const std::string chemin = shp::scratchPath("valide.shp");
    EXPECT_TRUE(shp::write(chemin, shp::file(5, {{5, {{{0, 0}, {1, 0}, {1, 1}, {0, 0}}}},
                                                 {5, {{{2, 2}, {3, 2}, {3, 3}, {2, 2}}}}})));
    return chemin;
}

// The cap: what the process holds now and 1 GiB more.
void plafonne()
{
    FILE *f = fopen("/proc/self/statm", "r");
    unsigned long long pages = 0;
    ASSERT_EQ(fscanf(f, "%llu", &pages), 1);
    fclose(f);
    struct rlimit r;
    r.rlim_cur = r.rlim_max = rlim_t(pages * 4096 + (1ull << 30));
    ASSERT_EQ(setrlimit(RLIMIT_AS, &r), 0);
}

// The child's part: the window loads a valid file, then the same and the
// big one, which is refused while the valid file's curves and title stay,
// then loads the valid file again.
TEST(Memoire, Enfant)
{
    if (!std::getenv(ENFANT))
        GTEST_SKIP() << "run by Memoire.AMapTooBigIsRefusedAndTheWindowGoesOn";
    const std::string bon = valide(), gros = partiesVides(PARTIES);
    plafonne();
    auto v = nouvelle();
    QCustomPlot *p = plot(*v);
    fenetre::chargeEtAttends(*v, {QString::fromStdString(bon)});
    ASSERT_EQ(p->plottableCount(), 2);
    const QString titreAvant = titre(*v)->text();
    fenetre::chargeEtAttends(*v, {QString::fromStdString(bon), QString::fromStdString(gros)});
    EXPECT_EQ(p->plottableCount(), 2);
    EXPECT_EQ(titre(*v)->text(), titreAvant);
    EXPECT_TRUE(p->legend->visible());
    fenetre::chargeEtAttends(*v, {QString::fromStdString(bon)});
    EXPECT_EQ(p->plottableCount(), 2);
}

TEST(Memoire, AMapTooBigIsRefusedAndTheWindowGoesOn)
{
#ifdef KALU_SOUS_ASAN
    GTEST_SKIP() << "AddressSanitizer can't run under an address-space cap";
#endif
    QProcess enfant;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(ENFANT, "1");
    enfant.setProcessEnvironment(env);
    enfant.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=Memoire.Enfant"});
    ASSERT_TRUE(enfant.waitForFinished(120000));
    const QString err = QString::fromLocal8Bit(enfant.readAllStandardError());
    EXPECT_EQ(enfant.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(enfant.exitCode(), 0) << enfant.readAllStandardOutput().right(2000).toStdString();
    EXPECT_TRUE(err.contains("not enough memory to load '") && err.contains("parties-vides.shp'"))
        << err.toStdString();
}

// kalu-export under the same kind of cap: the file named, the error status,
// no abort.
TEST(Memoire, KaluExportRefusesAMapTooBig)
{
#ifdef KALU_SOUS_ASAN
    GTEST_SKIP() << "AddressSanitizer can't run under an address-space cap";
#endif
    const std::string gros = partiesVides(PARTIES);
    const std::string sortie = shp::scratchPath("trop-gros.png");
    QProcess p;
    plafond::exporte(p, {QString::fromStdString(sortie), QString::fromStdString(gros)});
    ASSERT_TRUE(p.waitForFinished(120000));
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.contains("not enough memory to load '") && err.contains("parties-vides.shp'"))
        << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(sortie)));
}

} // namespace
