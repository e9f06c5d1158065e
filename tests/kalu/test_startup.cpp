// SPDX-License-Identifier: GPL-3.0-or-later
// The program as a process: command-line validation before any window.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace
{

struct Issue {
    int code;
    QString out;
    QString err;
};

Issue lance(const QStringList &args)
{
    QProcess p;
    p.start(KALU_EXE, args);
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QString existant(const char *nom)
{
    std::string f = std::string(getenv("KALU_SCRATCH")) + "/" + nom;
    FILE *w = fopen(f.c_str(), "w");
    EXPECT_NE(w, nullptr);
    if (w)
        fclose(w);
    return QString::fromStdString(f);
}

const QString noFile = "[<../kalu/kalumodl.cpp.ajouteShapefile>] No file at path '%1'!\n";
const QString mainError = "[<../kalu/kalu.cpp.qMain>] ajouteShapefile() error!\n";

TEST(Startup, MissingFirstPathStopsBeforeTheWindow)
{
    QString ok = existant("present.shp");
    Issue r = lance({"/nowhere/absent.shp", ok});
    EXPECT_EQ(r.code, 255); // -1 as a process status
    EXPECT_EQ(r.err, noFile.arg("/nowhere/absent.shp") + mainError);
    // No window: adjustEqualScale never printed its sizes.
    EXPECT_EQ(r.out, "");
}

TEST(Startup, ExistingThenMissing)
{
    QString ok = existant("present2.shp");
    Issue r = lance({ok, ok, "/nowhere/second.shp"});
    EXPECT_EQ(r.code, 255);
    EXPECT_EQ(r.err, noFile.arg("/nowhere/second.shp") + mainError);
    EXPECT_EQ(r.out, "");
}

TEST(Startup, DirectoryAndOptionWordsAreNotFiles)
{
    std::string d = std::string(getenv("KALU_SCRATCH")) + "/un_dossier";
    mkdir(d.c_str(), 0777);
    Issue r = lance({QString::fromStdString(d)});
    EXPECT_EQ(r.code, 255);
    EXPECT_EQ(r.err, noFile.arg(QString::fromStdString(d)) + mainError);

    // Qt's own options are taken as paths, and fail like missing files.
    r = lance({"-style", "fusion"});
    EXPECT_EQ(r.code, 255);
    EXPECT_EQ(r.err, noFile.arg("-style") + mainError);
}

// Opening a FIFO without a writer would wait for one for ever.
TEST(Startup, AFifoIsRefusedAtOnce)
{
    std::string f = std::string(getenv("KALU_SCRATCH")) + "/carte_fifo.shp";
    remove(f.c_str());
    ASSERT_EQ(mkfifo(f.c_str(), 0600), 0);
    Issue r = lance({QString::fromStdString(f)});
    EXPECT_EQ(r.code, 255);
    EXPECT_EQ(r.err, noFile.arg(QString::fromStdString(f)) + mainError);
    remove(f.c_str());
}

TEST(Startup, NoArgumentOpensTheWindowAndEndsCleanly)
{
    QProcess p;
    p.start(KALU_EXE, QStringList());
    ASSERT_TRUE(p.waitForStarted(30000));
    // The equal-scale adjustment runs once the window is shown.
    QByteArray out;
    while (!out.contains("yr=") && p.waitForReadyRead(30000))
        out += p.readAllStandardOutput();
    ASSERT_TRUE(out.contains("ui->customPlot->axisRect()->width()=")) << out.constData();
    p.terminate(); // SIGTERM ends the event loop; the window is destroyed normally
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    QByteArray err = p.readAllStandardError();
    EXPECT_FALSE(err.contains("ajouteShapefile")) << err.constData();
    EXPECT_FALSE(err.contains("ERROR: AddressSanitizer")) << err.constData();
    EXPECT_FALSE(err.contains("LeakSanitizer")) << err.constData();
}

} // namespace
