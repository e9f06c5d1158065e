// SPDX-License-Identifier: GPL-3.0-or-later
// The built-in DVB-S2 tables: loading, look-ups, the text form, unknown
// names. The golden text of dvbs2 under expected/ was typed from the
// standard's table, not produced by this code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "capture.h"
#include "reptemp.h"
#include "zolconf.h"

namespace
{

const std::string SRC = "[<../src/zolconf.cpp.";

std::string lignesChargement()
{
    std::string p = std::to_string(sizeof(void *));
    return "sizeof(void*)   : " + p + "\n" + "sizeof(int*)    : " + p + "\n" +
           "sizeof(char***) : " + p + "\n" + "sizeof(double**): " + p + "\n";
}

const char *const COLONNES[5] = {"ESN0THQ_DB", "ESN0REQ_DB", "SYMBL_BITN", "FRAME_USFLBITN",
                                 "FRAME_TOTLBITN"};

// ---- zoltddcharge ------------------------------------------------------

TEST(Zoltddcharge, LoadsBothTables)
{
    struct {
        const char *nom;
        int lignes;
        const char *premiere, *derniere;
        double totl;
    } cas[] = {{"dvbs2", 28, "QPSK_1_4", "32APSK_9_10", 64800.0},
               {"dvbs2short", 24, "QPSK_1_4", "32APSK_8_9", 16200.0}};
    for (const auto &c : cas) {
        int dimn = 0;
        Capture capture;
        ZolTable *t = zoltddcharge(c.nom, dimn);
        Sorties s = capture.fin();
        ASSERT_NE(t, nullptr) << c.nom;
        EXPECT_EQ(s.out, lignesChargement());
        EXPECT_EQ(s.err, "");
        EXPECT_EQ(dimn, 2);
        EXPECT_EQ(t->dimx[0], c.lignes);
        EXPECT_EQ(t->dimx[1], 5);
        EXPECT_STREQ(t->idnx[0][0], c.premiere);
        EXPECT_STREQ(t->idnx[0][c.lignes - 1], c.derniere);
        for (int j = 0; j < 5; ++j)
            EXPECT_STREQ(t->idnx[1][j], COLONNES[j]);
        for (int i = 0; i < c.lignes; ++i) {
            EXPECT_EQ(t->tabx[i][4], c.totl) << c.nom << " row " << i;
            // Sorted by threshold; the required ratio is above it.
            if (i > 0) {
                EXPECT_LT(t->tabx[i - 1][0], t->tabx[i][0]) << c.nom << " row " << i;
            }
            EXPECT_GT(t->tabx[i][1], t->tabx[i][0]) << c.nom << " row " << i;
        }
        zoltddlibere(t);
    }
}

TEST(Zoltddcharge, NamesAndValuesAreSharedListsAreNot)
{
    int dimn = 0;
    Capture c;
    ZolTable *a = zoltddcharge("dvbs2", dimn);
    ZolTable *b = zoltddcharge("dvbs2", dimn);
    c.fin();
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a->tabx, b->tabx);
    EXPECT_NE(a->idnx[0], b->idnx[0]);
    EXPECT_EQ(a->tabx[3], b->tabx[3]);
    EXPECT_EQ(a->idnx[0][3], b->idnx[0][3]);
    zoltddlibere(a);
    zoltddlibere(b);
    zoltddlibere(nullptr);
}

TEST(Zoltddcharge, UnknownNamesGiveOneErrorLine)
{
    for (const char *nom : {"DVBS2", "dvbs", "dvbs2 ", "", "dvbs2shortx", "Dvbs2short"}) {
        int dimn = 7;
        Capture c;
        EXPECT_EQ(zoltddcharge(nom, dimn), nullptr) << nom;
        Sorties s = c.fin();
        EXPECT_EQ(dimn, 7);
        EXPECT_EQ(s.out, "");
        EXPECT_EQ(s.err, SRC + "zoltddcharge>] '" + nom + "' is not a Quarnetis data table\n");
    }
}

TEST(Zoltddgetters, EachBuildsItsPiece)
{
    int dimn = 0;
    int *d = zoltdd_dvbs2short_dimx(dimn);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(dimn, 2);
    EXPECT_EQ(d[0], 24);
    EXPECT_EQ(d[1], 5);
    delete[] d;
    dimn = 0;
    d = zoltdd_dvbs2_dimx(dimn);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(dimn, 2);
    EXPECT_EQ(d[0], 28);
    delete[] d;

    const char ***id = zoltdd_dvbs2short_idnx();
    ASSERT_NE(id, nullptr);
    EXPECT_STREQ(id[0][9], "8PSK_3_5");
    EXPECT_STREQ(id[1][2], "SYMBL_BITN");
    delete[] id[0];
    delete[] id[1];
    delete[] id;

    const double **v = zoltdd_dvbs2_tabx();
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v[9][2], 3.0); // 8PSK_3_5
    delete[] v;
}

// ---- zoltddtrouve ------------------------------------------------------

TEST(Zoltddtrouve, LooksUpByRowAndColumnName)
{
    struct {
        const char *table, *ligne, *colonne;
        double valeur;
    } cas[] = {
        {"dvbs2", "8PSK_3_4", "ESN0THQ_DB", 7.91},
        {"dvbs2short", "32APSK_8_9", "FRAME_USFLBITN", 14152.0},
        {"dvbs2", "QPSK_1_4", "ESN0THQ_DB", -2.35},
        {"dvbs2", "QPSK_1_4", "ESN0REQ_DB", -1.1},
        {"dvbs2", "32APSK_9_10", "FRAME_TOTLBITN", 64800.0},
        {"dvbs2", "QPSK_9_10", "FRAME_USFLBITN", 58112.0},
        {"dvbs2", "16APSK_2_3", "SYMBL_BITN", 4.0},
        {"dvbs2short", "QPSK_1_4", "ESN0REQ_DB", -0.85},
        {"dvbs2short", "QPSK_1_3", "ESN0REQ_DB", 0.01},
        {"dvbs2short", "32APSK_8_9", "FRAME_TOTLBITN", 16200.0},
    };
    for (const auto &c : cas) {
        Capture capture;
        double v = zoltddtrouve(c.table, c.ligne, c.colonne);
        Sorties s = capture.fin();
        EXPECT_EQ(v, c.valeur) << c.table << " " << c.ligne << " " << c.colonne;
        EXPECT_EQ(s.err, "");
        EXPECT_EQ(s.out, lignesChargement() + "dimx[0]: " +
                             (std::string(c.table) == "dvbs2" ? "28" : "24") + ", dimx[1]: 5\n");
    }
}

TEST(Zoltddtrouve, MissingRowOrColumnIsNanWithoutReport)
{
    struct {
        const char *table, *ligne, *colonne;
    } cas[] = {
        {"dvbs2short", "QPSK_9_10", "ESN0THQ_DB"}, // no short-frame row
        {"dvbs2", "8PSK_3_4", "esn0thq_db"},
        {"dvbs2", "8psk_3_4", "ESN0THQ_DB"},
        {"dvbs2", "", "ESN0THQ_DB"},
        {"dvbs2", "8PSK_3_4", ""},
        {"dvbs2", "ESN0THQ_DB", "8PSK_3_4"},
        {"dvbs2", nullptr, "ESN0THQ_DB"},
        {"dvbs2", "8PSK_3_4", nullptr},
    };
    for (const auto &c : cas) {
        Capture capture;
        EXPECT_TRUE(std::isnan(zoltddtrouve(c.table, c.ligne, c.colonne)))
            << (c.ligne ? c.ligne : "null") << " " << (c.colonne ? c.colonne : "null");
        EXPECT_EQ(capture.fin().err, "");
    }
}

TEST(Zoltddtrouve, UnknownTableGivesTwoErrorLines)
{
    Capture c;
    EXPECT_EQ(zoltddtrouve("DVBS2", "8PSK_3_4", "ESN0THQ_DB"), -1.0);
    Sorties s = c.fin();
    EXPECT_EQ(s.out, "");
    EXPECT_EQ(s.err, SRC + "zoltddcharge>] 'DVBS2' is not a Quarnetis data table\n" + SRC +
                         "zoltddtrouve>] zoltddcharge() error!\n");
}

// ---- zoltddtrace -------------------------------------------------------

// What zoltddtrace writes for table `nom`, through a real file.
std::string trace(const char *nom, int &r, Sorties &s)
{
    RepTemp rep;
    std::string chemin = rep / "trace.txt";
    FILE *f = fopen(chemin.c_str(), "w");
    EXPECT_NE(f, nullptr);
    if (f == nullptr)
        return std::string();
    Capture c;
    r = zoltddtrace(f, nom);
    s = c.fin();
    fclose(f);
    return litFichier(chemin);
}

TEST(Zoltddtrace, Dvbs2MatchesTheGoldenText)
{
    int r = 1;
    Sorties s;
    std::string texte = trace("dvbs2", r, s);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(s.out, lignesChargement() + "dimx[0]: 28, dimx[1]: 5\n");
    EXPECT_EQ(s.err, "");
    EXPECT_EQ(texte, litFichier(KALU_SOURCE_DIR "/tests/zol/expected/zoltddtrace_dvbs2.txt"));
    EXPECT_EQ(std::count(texte.begin(), texte.end(), '\n'), 28); // 29 lines, no final break
}

TEST(Zoltddtrace, Dvbs2shortHeaderFirstAndLastRows)
{
    int r = 1;
    Sorties s;
    std::string texte = trace("dvbs2short", r, s);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(s.out, lignesChargement() + "dimx[0]: 24, dimx[1]: 5\n");
    const std::string debut = ";ESN0THQ_DB;ESN0REQ_DB;SYMBL_BITN;FRAME_USFLBITN;FRAME_TOTLBITN\n"
                              "QPSK_1_4;-2.100000;-0.850000;2.000000;2992.000000;16200.000000\n";
    const std::string fin = "\n32APSK_8_9;15.940000;17.940000;5.000000;14152.000000;16200.000000";
    EXPECT_EQ(texte.compare(0, debut.size(), debut), 0) << texte;
    ASSERT_GE(texte.size(), fin.size());
    EXPECT_EQ(texte.substr(texte.size() - fin.size()), fin);
    EXPECT_EQ(std::count(texte.begin(), texte.end(), '\n'), 24);
    EXPECT_EQ(texte.find("9_10"), std::string::npos);
}

TEST(Zoltddtrace, UnknownTableWritesNothingToTheStream)
{
    int r = 0;
    Sorties s;
    EXPECT_EQ(trace("dvbs2_", r, s), "");
    EXPECT_EQ(r, -1);
    EXPECT_EQ(s.out, "");
    EXPECT_EQ(s.err, SRC + "zoltddcharge>] 'dvbs2_' is not a Quarnetis data table\n" + SRC +
                         "zoltddtrace>] zoltddcharge() error!\n");
}

} // namespace
