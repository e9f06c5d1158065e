// SPDX-License-Identifier: GPL-3.0-or-later
// The installed shared-MIME-info package names the shapefile main file type:
// after update-mime-database on the staged share/mime, QMimeDatabase (looking
// at the stage only) recognises a .shp by its name and by its file code.
#include <gtest/gtest.h>

#include <algorithm>

#include <QDir>
#include <QMimeDatabase>
#include <QProcess>
#include <QtGlobal>

#include "shpwriter.h"

namespace
{

const char SHP[] = "application/vnd.shp";

class MimeInstalle : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        const QString mime = QString(KALU_STAGE) + "/usr/share/mime";
        QProcess p;
        p.start("update-mime-database", {mime});
        if (!p.waitForFinished(60000) && p.error() == QProcess::FailedToStart) {
            sansOutil = true;
            return;
        }
        ASSERT_EQ(p.exitStatus(), QProcess::NormalExit);
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        // Only the stage: neither the system's database nor the user's.
        const QString vide = QString::fromStdString(shp::scratchPath("xdg-home"));
        QDir().mkpath(vide);
        qputenv("XDG_DATA_HOME", vide.toLocal8Bit());
        qputenv("XDG_DATA_DIRS", QByteArray(KALU_STAGE) + "/usr/share");
    }

    void SetUp() override
    {
        if (sansOutil)
            GTEST_SKIP()
                << "update-mime-database not found (install the Debian package shared-mime-info)";
    }

    static std::string ecrit(const std::string &nom, const shp::Bytes &octets)
    {
        const std::string chemin = shp::scratchPath(nom);
        EXPECT_TRUE(shp::write(chemin, octets)) << chemin;
        return chemin;
    }

    static shp::Bytes polygone() { return shp::file(5, {{5, {{{0, 0}, {1, 0}, {1, 1}, {0, 0}}}}}); }

    static bool sansOutil;
    QMimeDatabase db;
};

bool MimeInstalle::sansOutil = false;

TEST_F(MimeInstalle, TypeAndAliasAreDeclared)
{
    QMimeType t = db.mimeTypeForName(SHP);
    ASSERT_TRUE(t.isValid());
    EXPECT_TRUE(t.globPatterns().contains("*.shp"));
    EXPECT_TRUE(t.aliases().contains("application/x-esri-shape"));
    EXPECT_EQ(db.mimeTypeForName("application/x-esri-shape").name(), SHP);
}

TEST_F(MimeInstalle, ShapefileByName)
{
    EXPECT_EQ(db.mimeTypeForFile("carte.shp", QMimeDatabase::MatchExtension).name(), SHP);
    EXPECT_EQ(db.mimeTypeForFile("CARTE.SHP", QMimeDatabase::MatchExtension).name(), SHP);
    EXPECT_NE(db.mimeTypeForFile("carte.shx", QMimeDatabase::MatchExtension).name(), SHP);
}

TEST_F(MimeInstalle, ShapefileByContent)
{
    // No extension to go by: only the file code 9994 at offset 0 tells.
    const std::string chemin = ecrit("sans-extension", polygone());
    EXPECT_EQ(
        db.mimeTypeForFile(QString::fromStdString(chemin), QMimeDatabase::MatchContent).name(),
        SHP);
    const std::string ligne = ecrit("ligne.bin", shp::file(3, {{3, {{{0, 0}, {2, 3}}}}}));
    EXPECT_EQ(db.mimeTypeForFile(QString::fromStdString(ligne)).name(), SHP);
}

TEST_F(MimeInstalle, OtherCodesAreNotShapefiles)
{
    // 9994 little-endian, and the neighbouring big-endian values, are not the
    // file code.
    shp::Bytes petit = polygone();
    const unsigned char le[4] = {0x0a, 0x27, 0x00, 0x00};
    std::copy(le, le + 4, petit.begin());
    shp::Bytes voisin = polygone();
    voisin[3] = 0x0b; // 9995
    for (const shp::Bytes &b : {petit, voisin}) {
        const std::string chemin = ecrit("autre", b);
        EXPECT_NE(
            db.mimeTypeForFile(QString::fromStdString(chemin), QMimeDatabase::MatchContent).name(),
            SHP);
    }
}

} // namespace
