// SPDX-License-Identifier: GPL-3.0-or-later
// The shapefile reader against hostile files: one table over every class of
// malformed input with its exact outcome, then two sweeps: every prefix of
// three valid files, and boundary values written into every count field of
// a record. Run in the sanitizer build, these also prove that nothing is
// read past the end of a file and nothing leaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "capture.h"
#include "shpwriter.h"
#include "zolshp.h"

namespace
{

const std::string PREFIXE = "[<../src/zolshp.cpp.fscan_shp>] ";
const double INF = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();

// What a call gave: the result turned into records (nothing is kept from the
// reader's blocks), the count and both output streams.
struct Issue {
    bool resultat = false;
    int count = -1;
    std::vector<shp::Record> records;
    std::string out, err;
};

Issue lis(const shp::Bytes &octets)
{
    const std::string chemin = shp::scratchPath("hostile.shp");
    Issue i;
    // A new file each time: rewriting a truncated one makes some file
    // systems write it out to disk on close, slowing the sweeps tenfold.
    remove(chemin.c_str());
    if (!shp::write(chemin, octets)) {
        ADD_FAILURE() << "cannot write " << chemin;
        return i;
    }
    Capture c;
    ShpData *d = fscan_shp(chemin.c_str(), i.count);
    Sorties s = c.fin();
    i.out = s.out;
    i.err = s.err;
    i.resultat = d != nullptr;
    if (d != nullptr) {
        for (int r = 0; r < i.count; ++r) {
            shp::Record rec{d->shptype[r], std::vector<shp::Part>(d->partn[r])};
            for (int p = 0; p < d->partn[r]; ++p)
                for (int k = 0; k < d->pointn[r][p]; ++k)
                    rec.parts[p].push_back({d->x[r][p][k], d->y[r][p][k]});
            i.records.push_back(rec);
        }
        deleteshp(d, i.count);
    }
    return i;
}

// Coordinates compared bit for bit, so that NaN equals NaN and -0 is not 0.
bool memesBits(double a, double b)
{
    return memcmp(&a, &b, sizeof a) == 0;
}

bool memesRecords(const std::vector<shp::Record> &a, const std::vector<shp::Record> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t r = 0; r < a.size(); ++r) {
        if (a[r].type != b[r].type || a[r].parts.size() != b[r].parts.size())
            return false;
        for (size_t p = 0; p < a[r].parts.size(); ++p) {
            const shp::Part &u = a[r].parts[p], &v = b[r].parts[p];
            if (u.size() != v.size())
                return false;
            for (size_t k = 0; k < u.size(); ++k)
                if (!memesBits(u[k].first, v[k].first) || !memesBits(u[k].second, v[k].second))
                    return false;
        }
    }
    return true;
}

shp::Part ligne(int n, double x0, double y0)
{
    shp::Part p;
    for (int k = 0; k < n; ++k)
        p.push_back({x0 + k, y0 - 0.5 * k});
    return p;
}

shp::Bytes concat(std::initializer_list<shp::Bytes> morceaux)
{
    shp::Bytes b;
    for (const shp::Bytes &m : morceaux)
        shp::append(b, m);
    return b;
}

// Header (length taken from the body) + body.
shp::Bytes fichier(int type, const shp::Bytes &corps)
{
    return concat({shp::header(type, 100 + corps.size()), corps});
}

shp::Bytes debut(const shp::Bytes &b, size_t n)
{
    return shp::Bytes(b.begin(), b.begin() + static_cast<long>(n));
}

const shp::Record A{3, {ligne(3, 0, 0)}};
const shp::Record B{5, {{{0, 0}, {0, 1}, {1, 1}, {0, 0}}, ligne(2, 5, 5)}};

std::string avisCoupe(int numero)
{
    return PREFIXE + "record " + std::to_string(numero) +
           " cut short by the end of the file: dropped, reading stops!\n";
}

std::string typeFichier(int type)
{
    return PREFIXE + "invalid file shape type '" + std::to_string(type) + "'!\n";
}

std::string typeRecord(int type)
{
    return PREFIXE + "invalid record shape type '" + std::to_string(type) + "'\n";
}

std::string debutInvalide(int numero, int debut, int part, int parts, int points)
{
    return PREFIXE + "record " + std::to_string(numero) + ": invalid start " +
           std::to_string(debut) + " of part " + std::to_string(part) +
           " (NumParts=" + std::to_string(parts) + ", NumPoints=" + std::to_string(points) + ")!\n";
}

// A record of type 3 whose counts and part starts are written as given,
// followed by `points`.
shp::Bytes brut(int numero, int parts, int points, const std::vector<int> &debuts,
                const shp::Part &pts)
{
    return shp::withHeader(numero, shp::rawContent(3, parts, points, debuts, pts));
}

struct Cas {
    const char *classe;
    shp::Bytes octets;
    bool resultat;
    int count;
    std::vector<shp::Record> records; // checked when there is a result
    std::string out, err;
};

std::vector<Cas> table()
{
    const shp::Bytes vide = shp::file(3, {});
    const shp::Bytes recA = shp::record(1, A), recB2 = shp::record(2, B);
    std::vector<Cas> t;

    // Empty, short and header-only files.
    t.push_back({"empty file", {}, false, 0, {}, "", PREFIXE + "invalid big File code=0x0!\n"});
    t.push_back({"one byte", {0x00}, false, 0, {}, "", PREFIXE + "invalid big File code=0x0!\n"});
    t.push_back({"file code cut",
                 {0x00, 0x00, 0x27},
                 false,
                 0,
                 {},
                 "",
                 PREFIXE + "invalid big File code=0x2700!\n"});
    t.push_back({"file code alone",
                 debut(vide, 4),
                 false,
                 0,
                 {},
                 "",
                 PREFIXE + "incomplete file header: 4 bytes instead of 100!\n"});
    t.push_back({"header cut in the box",
                 debut(vide, 99),
                 false,
                 0,
                 {},
                 "",
                 PREFIXE + "incomplete file header: 99 bytes instead of 100!\n"});
    t.push_back({"header only", vide, true, 0, {}, "", ""});

    // Bad and byte-swapped file codes.
    shp::Bytes code = vide;
    code[3] = 0x0B;
    t.push_back(
        {"file code 9995", code, false, 0, {}, "", PREFIXE + "invalid big File code=0x270b!\n"});
    code = vide;
    code[0] = 0x0A, code[1] = 0x27, code[2] = 0, code[3] = 0;
    t.push_back({"little-endian file code",
                 code,
                 false,
                 0,
                 {},
                 "",
                 PREFIXE + "invalid big File code=0xa270000!\n"});
    code[0] = code[1] = code[2] = code[3] = 0xFF;
    t.push_back(
        {"file code -1", code, false, 0, {}, "", PREFIXE + "invalid big File code=0xffffffff!\n"});

    // Unsupported header and record types; null shapes.
    for (int type : {1, 8, 13, 15, 23, 25, 28, 31, 0, -1, INT_MIN})
        t.push_back({"file shape type", fichier(type, recA), false, 0, {}, "", typeFichier(type)});
    for (int type : {1, 8, 13, 15, 23, 25, 28, 31, 2, 4, INT_MAX})
        t.push_back({"record shape type",
                     fichier(3, concat({recA, shp::record(2, {type, {ligne(2, 0, 0)}})})),
                     false,
                     1,
                     {},
                     "",
                     typeRecord(type)});
    t.push_back({"null shape record",
                 fichier(3, concat({recA, shp::record(2, {0, {}}), recB2})),
                 false,
                 1,
                 {},
                 "",
                 typeRecord(0)});
    t.push_back(
        {"null shape first", fichier(5, shp::record(1, {0, {}})), false, 0, {}, "", typeRecord(0)});

    // Record numbers and content lengths are not believed, nor needed.
    shp::Bytes menteur =
        concat({shp::withHeader(-7, shp::content(A)), shp::withHeader(0, shp::content(B))});
    menteur[4] = menteur[5] = menteur[6] = menteur[7] = 0xFF; // content length -1
    t.push_back({"lying numbers and lengths", fichier(3, menteur), true, 2, {A, B}, "", ""});
    shp::Bytes longueur = concat({recA, recB2});
    longueur[4] = 0x7F; // content length far beyond the file
    t.push_back({"content length too large", fichier(3, longueur), true, 2, {A, B}, "", ""});

    // Truncation inside the record header, the part list and the points.
    const shp::Bytes deux = fichier(3, concat({recA, recB2}));
    const size_t finA = 100 + recA.size();
    t.push_back({"cut in record header", debut(deux, finA + 6), true, 1, {A}, avisCoupe(2), ""});
    t.push_back({"cut before NumPoints", debut(deux, finA + 50), true, 1, {A}, avisCoupe(2), ""});
    t.push_back({"cut in part list", debut(deux, finA + 56), true, 1, {A}, avisCoupe(2), ""});
    t.push_back({"cut in points", debut(deux, deux.size() - 9), true, 1, {A}, avisCoupe(2), ""});
    t.push_back(
        {"cut in last coordinate", debut(deux, deux.size() - 1), true, 1, {A}, avisCoupe(2), ""});

    // Trailing bytes: 1 to 3 are padding, more are the next record header.
    for (size_t n = 1; n <= 3; ++n)
        t.push_back({"1 to 3 trailing bytes",
                     concat({deux, shp::Bytes(n, 0xEE)}),
                     true,
                     2,
                     {A, B},
                     "",
                     ""});
    t.push_back(
        {"4 trailing bytes", concat({deux, shp::Bytes(4, 0)}), true, 2, {A, B}, avisCoupe(3), ""});
    t.push_back({"11 trailing bytes",
                 concat({deux, shp::Bytes(11, 0)}),
                 true,
                 2,
                 {A, B},
                 avisCoupe(3),
                 ""});
    t.push_back(
        {"12 trailing zeros", concat({deux, shp::Bytes(12, 0)}), false, 2, {}, "", typeRecord(0)});

    // Huge, negative and 32-bit-wrapping counts. 0x40000001 parts take 4 bytes
    // and 0x10000001 points 16 bytes once multiplied in 32 bits.
    const shp::Part deuxPts = ligne(2, 9, 9);
    struct Compte {
        const char *classe;
        int parts, points;
    } comptes[] = {{"NumParts INT_MAX", INT_MAX, 2},
                   {"NumParts wrapping", 0x40000001, 2},
                   {"NumPoints INT_MAX", 1, INT_MAX},
                   {"NumPoints wrapping", 1, 0x10000001},
                   {"both wrapping", 0x40000000, 0x40000000}};
    for (const Compte &c : comptes)
        t.push_back({c.classe,
                     fichier(3, concat({recA, brut(2, c.parts, c.points, {0}, deuxPts)})),
                     true,
                     1,
                     {A},
                     avisCoupe(2),
                     ""});
    for (int points : {-1, INT_MIN})
        t.push_back({"NumPoints negative",
                     fichier(3, concat({recA, brut(2, 1, points, {0}, deuxPts)})),
                     false,
                     1,
                     {},
                     "",
                     PREFIXE + "record 2: invalid NumPoints=" + std::to_string(points) + "!\n"});
    // NumParts 0 or less: the record is skipped and reading goes on right
    // after its NumPoints field, here at the next record.
    for (int parts : {0, -1, INT_MIN})
        t.push_back({"NumParts 0 or negative",
                     fichier(3, concat({recA, brut(2, parts, 7, {}, {}), recB2})),
                     true,
                     2,
                     {A, B},
                     "",
                     ""});

    // Part starts negative, above NumPoints, repeated or descending.
    const shp::Part six = ligne(6, 1, 1);
    auto debuts = [&](std::vector<int> d) {
        return fichier(3, concat({recA, brut(2, static_cast<int>(d.size()), 6, d, six)}));
    };
    t.push_back(
        {"start negative", debuts({-1, 3}), false, 1, {}, "", debutInvalide(2, -1, 0, 2, 6)});
    t.push_back({"start INT_MIN",
                 debuts({0, INT_MIN}),
                 false,
                 1,
                 {},
                 "",
                 debutInvalide(2, INT_MIN, 1, 2, 6)});
    t.push_back(
        {"start above NumPoints", debuts({0, 7}), false, 1, {}, "", debutInvalide(2, 7, 1, 2, 6)});
    t.push_back(
        {"start INT_MAX", debuts({INT_MAX}), false, 1, {}, "", debutInvalide(2, INT_MAX, 0, 1, 6)});
    t.push_back(
        {"starts descending", debuts({0, 4, 2}), false, 1, {}, "", debutInvalide(2, 2, 2, 3, 6)});
    const shp::Record repete{
        3, {{}, {six.begin(), six.begin() + 4}, {}, {six.begin() + 4, six.end()}}};
    t.push_back(
        {"starts repeated: empty parts", debuts({0, 0, 4, 4}), true, 2, {A, repete}, "", ""});
    t.push_back({"start at NumPoints: empty last part",
                 debuts({0, 6}),
                 true,
                 2,
                 {A, {3, {six, {}}}},
                 "",
                 ""});

    // Extreme coordinates are handed over exactly as stored.
    const shp::Record extreme{
        5, {{{NaN, 1}, {INF, -INF}, {1e308, -1e308}, {-0.0, 4.9e-324}, {NaN, NaN}}}};
    t.push_back(
        {"NaN, Inf and 1e308 coordinates", shp::file(5, {extreme}), true, 1, {extreme}, "", ""});
    return t;
}

TEST(Hostile, EveryMalformedClassHasItsExactOutcome)
{
    for (const Cas &c : table()) {
        SCOPED_TRACE(c.classe);
        const Issue i = lis(c.octets);
        EXPECT_EQ(i.resultat, c.resultat);
        EXPECT_EQ(i.count, c.count);
        EXPECT_EQ(i.out, c.out);
        EXPECT_EQ(i.err, c.err);
        if (c.resultat) {
            EXPECT_TRUE(memesRecords(i.records, c.records));
        }
    }
}

// ---- Sweep 1: every prefix of three valid files -----------------------

struct Valide {
    const char *nom;
    int type;
    std::vector<shp::Record> records;
};

// Big-endian value of the first four bytes, those missing taken as 0.
unsigned codeLu(const shp::Bytes &b, size_t n)
{
    unsigned v = 0;
    for (size_t k = 0; k < 4; ++k)
        v = (v << 8) | (k < n ? b[k] : 0u);
    return v;
}

TEST(Hostile, EveryPrefixGivesWholeRecordsOrACleanFailure)
{
    const std::vector<Valide> fichiers = {
        {"polylines",
         3,
         {A, {3, {ligne(1, 2, 2), ligne(4, 3, 3), ligne(2, 4, 4)}}, {3, {ligne(5, -1, 1)}}}},
        {"polygons", 5, {B, {5, {{{0, 0}, {2, 0}, {2, 2}, {0, 0}}}}}},
        // A record without parts, which is skipped, and a part without points.
        {"mixed", 3, {{5, {ligne(2, 0, 0), {}, ligne(3, 1, 1)}}, {3, {}}, A}},
    };
    for (const Valide &v : fichiers) {
        const shp::Bytes entier = shp::file(v.type, v.records);
        // Where each record ends.
        std::vector<size_t> fins;
        size_t fin = 100;
        for (size_t r = 0; r < v.records.size(); ++r) {
            fin += shp::record(static_cast<int>(r) + 1, v.records[r]).size();
            fins.push_back(fin);
        }
        ASSERT_EQ(fin, entier.size());

        for (size_t n = 0; n <= entier.size(); ++n) {
            SCOPED_TRACE(std::string(v.nom) + " cut at " + std::to_string(n));
            const Issue i = lis(debut(entier, n));
            if (n < 4) {
                char attendu[64];
                snprintf(attendu, sizeof attendu, "invalid big File code=0x%x!\n",
                         codeLu(entier, n));
                EXPECT_FALSE(i.resultat);
                EXPECT_EQ(i.err, PREFIXE + attendu);
                EXPECT_EQ(i.out, "");
                continue;
            }
            if (n < 100) {
                EXPECT_FALSE(i.resultat);
                EXPECT_EQ(i.err, PREFIXE + "incomplete file header: " + std::to_string(n) +
                                     " bytes instead of 100!\n");
                EXPECT_EQ(i.out, "");
                continue;
            }
            // Records wholly inside the prefix come back, those without parts
            // excepted; a cut at least 4 bytes into the next one is reported.
            std::vector<shp::Record> entiers;
            size_t complets = 0, depuis = 100;
            while (complets < fins.size() && fins[complets] <= n) {
                if (!v.records[complets].parts.empty())
                    entiers.push_back(v.records[complets]);
                depuis = fins[complets++];
            }
            ASSERT_TRUE(i.resultat);
            EXPECT_EQ(i.err, "");
            EXPECT_EQ(i.out, n - depuis >= 4 ? avisCoupe(static_cast<int>(complets) + 1) : "");
            EXPECT_EQ(i.count, static_cast<int>(entiers.size()));
            EXPECT_TRUE(memesRecords(i.records, entiers));
        }
    }
}

// ---- Sweep 2: boundary values in every count field of a record ----------

// The file: record 1, the target record 2 (three parts of 2, 3 and 1
// points), record 3.
struct Cible {
    shp::Bytes octets;
    size_t longueur, numParts, numPoints, debuts; // offsets of the fields
};

const shp::Part SIX = ligne(6, 10, 20);
const shp::Record C{3,
                    {{SIX.begin(), SIX.begin() + 2},
                     {SIX.begin() + 2, SIX.begin() + 5},
                     {SIX.begin() + 5, SIX.end()}}};
const std::vector<int> DEBUTS = {0, 2, 5};

Cible cible()
{
    const shp::Bytes r1 = shp::record(1, A), r2 = shp::record(2, C), r3 = shp::record(3, B);
    Cible c;
    c.octets = fichier(3, concat({r1, r2, r3}));
    const size_t r = 100 + r1.size();
    c.longueur = r + 4;
    c.numParts = r + 8 + 4 + 32;
    c.numPoints = c.numParts + 4;
    c.debuts = c.numPoints + 4;
    return c;
}

void ecrit(shp::Bytes &b, size_t a, int v, bool gros)
{
    shp::Bytes m;
    if (gros)
        shp::bigEndian(m, v);
    else
        shp::littleEndian(m, v);
    std::copy(m.begin(), m.end(), b.begin() + static_cast<long>(a));
}

// Splits SIX at the given starts; the points before the first are dropped.
shp::Record decoupe(const std::vector<int> &d)
{
    shp::Record r{3, {}};
    for (size_t p = 0; p < d.size(); ++p) {
        const int fin = p + 1 < d.size() ? d[p + 1] : 6;
        r.parts.push_back(shp::Part(SIX.begin() + d[p], SIX.begin() + fin));
    }
    return r;
}

// Whatever the outcome, it must be one of the clean ones: a failure with one
// message and no result, or whole, well-formed records with at most the
// cut-short warning, the first record intact.
void verifieSain(const Issue &i, size_t taille)
{
    if (!i.resultat) {
        EXPECT_EQ(i.out, "");
        EXPECT_EQ(i.err.rfind(PREFIXE, 0), 0u) << i.err;
        EXPECT_EQ(std::count(i.err.begin(), i.err.end(), '\n'), 1) << i.err;
        return;
    }
    EXPECT_EQ(i.err, "");
    EXPECT_TRUE(i.out.empty() ||
                i.out.find(" cut short by the end of the file") != std::string::npos)
        << i.out;
    ASSERT_GE(i.count, 1);
    EXPECT_TRUE(memesRecords({i.records[0]}, {A}));
    size_t points = 0;
    for (const shp::Record &r : i.records) {
        EXPECT_TRUE(r.type == 3 || r.type == 5);
        EXPECT_GE(r.parts.size(), 1u);
        for (const shp::Part &p : r.parts)
            points += p.size();
    }
    EXPECT_LE(points * 16, taille);
}

TEST(Hostile, BoundaryValuesInEveryCountField)
{
    const Cible c = cible();
    struct Champ {
        const char *nom;
        size_t offset;
        bool gros;
        int part; // index of the part start, or -1
    };
    const Champ champs[] = {
        {"content length", c.longueur, true, -1}, {"NumParts", c.numParts, false, -1},
        {"NumPoints", c.numPoints, false, -1},    {"start 0", c.debuts, false, 0},
        {"start 1", c.debuts + 4, false, 1},      {"start 2", c.debuts + 8, false, 2}};
    for (const Champ &ch : champs) {
        const int restant = static_cast<int>(c.octets.size() - (ch.offset + 4));
        for (int v : {0, -1, INT_MIN, INT_MAX, restant + 1}) {
            SCOPED_TRACE(std::string(ch.nom) + " = " + std::to_string(v));
            shp::Bytes b = c.octets;
            ecrit(b, ch.offset, v, ch.gros);
            const Issue i = lis(b);
            verifieSain(i, b.size());

            // The outcomes that follow from the field alone.
            std::string attendu;
            bool echec = false, coupe = false;
            std::vector<shp::Record> records;
            if (ch.offset == c.longueur) {
                records = {A, C, B}; // never believed
            } else if (ch.offset == c.numParts) {
                if (v > 3) // more part starts and points than the file holds
                    coupe = true;
                else
                    continue; // skipped: the rest of the record is read as records
            } else if (ch.offset == c.numPoints) {
                if (v < 0) {
                    echec = true;
                    attendu = PREFIXE + "record 2: invalid NumPoints=" + std::to_string(v) + "!\n";
                } else if (v > 6) {
                    coupe = true;
                } else {
                    // 0 points: the start 2 of part 1 is above NumPoints.
                    echec = true;
                    attendu = debutInvalide(2, 2, 1, 3, v);
                }
            } else {
                std::vector<int> d = DEBUTS;
                d[ch.part] = v;
                int mauvais = -1;
                for (int p = 0; p < 3 && mauvais < 0; ++p)
                    if (d[p] < 0 || d[p] > 6 || (p > 0 && d[p] < d[p - 1]))
                        mauvais = p;
                if (mauvais >= 0) {
                    echec = true;
                    attendu = debutInvalide(2, d[mauvais], mauvais, 3, 6);
                } else {
                    records = {A, decoupe(d), B};
                }
            }
            if (echec) {
                EXPECT_FALSE(i.resultat);
                EXPECT_EQ(i.count, 1);
                EXPECT_EQ(i.err, attendu);
            } else if (coupe) {
                EXPECT_TRUE(i.resultat);
                EXPECT_EQ(i.out, avisCoupe(2));
                EXPECT_TRUE(memesRecords(i.records, {A}));
            } else {
                EXPECT_TRUE(i.resultat);
                EXPECT_EQ(i.out + i.err, "");
                EXPECT_TRUE(memesRecords(i.records, records));
            }
        }
    }
}

} // namespace
