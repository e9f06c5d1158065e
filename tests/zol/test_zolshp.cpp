// SPDX-License-Identifier: GPL-3.0-or-later
// The shapefile reader on files written byte by byte: valid files, every
// rejection, cut and padded files, and the stream form.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "capture.h"
#include "shpwriter.h"
#include "zolshp.h"

namespace
{

const std::string ERR = "[<../src/zolshp.cpp.fscan_shp>] ";

struct Lu {
    ShpData *data = nullptr;
    int count = -1;
    Sorties sorties;
    ~Lu() { deleteshp(data, count); }
};

// Writes `bytes` to a scratch file and reads it back.
void lis(const shp::Bytes &bytes, Lu &lu, const char *nom = "lu.shp")
{
    std::string chemin = shp::scratchPath(nom);
    ASSERT_TRUE(shp::write(chemin, bytes));
    Capture c;
    lu.data = fscan_shp(chemin.c_str(), lu.count);
    lu.sorties = c.fin();
}

// Record r as read, part by part, point by point.
std::vector<shp::Part> parts(const ShpData *d, int r)
{
    std::vector<shp::Part> v(d->partn[r]);
    for (int p = 0; p < d->partn[r]; ++p)
        for (int k = 0; k < d->pointn[r][p]; ++k)
            v[p].push_back({d->x[r][p][k], d->y[r][p][k]});
    return v;
}

shp::Part ligne(int n, double x0, double y0)
{
    shp::Part p;
    for (int k = 0; k < n; ++k)
        p.push_back({x0 + k * 0.25, y0 - k * 0.5});
    return p;
}

// A file whose header carries `type` and whose body is the given bytes.
shp::Bytes avecEntete(int type, const shp::Bytes &corps)
{
    shp::Bytes b = shp::header(type, 100 + corps.size());
    shp::append(b, corps);
    return b;
}

TEST(Octets, ReverseAndCopy)
{
    const unsigned char s[5] = {1, 2, 3, 4, 5};
    unsigned char d[5] = {0};
    EXPECT_EQ(inverse_octets(5, s, d), 0);
    EXPECT_EQ(std::vector<unsigned char>(d, d + 5), (std::vector<unsigned char>{5, 4, 3, 2, 1}));
    unsigned char m[4] = {0x00, 0x00, 0x27, 0x0A};
    inverse_octets(4, m, m); // in place
    EXPECT_EQ(std::vector<unsigned char>(m, m + 4),
              (std::vector<unsigned char>{0x0A, 0x27, 0x00, 0x00}));
    unsigned char c[5] = {0};
    EXPECT_EQ(copie_octets(5, s, c), 0);
    EXPECT_EQ(std::vector<unsigned char>(c, c + 5), (std::vector<unsigned char>{1, 2, 3, 4, 5}));
    EXPECT_EQ(copie_octets(5, c, c), 0);
    EXPECT_EQ(c[4], 5);
}

TEST(Lecture, PolyLineAndPolygonAsStored)
{
    shp::Part anneau = {{0, 0}, {0, 1}, {1, 1}, {1, 0}, {0, 0}};
    for (int type : {3, 5}) {
        Lu lu;
        lis(shp::file(type, {{type, {ligne(4, -1.5, 44.0)}}, {type, {anneau, ligne(2, 7, 8)}}}),
            lu);
        ASSERT_NE(lu.data, nullptr) << lu.sorties.err;
        ASSERT_EQ(lu.count, 2);
        EXPECT_EQ(lu.sorties.err, "");
        EXPECT_EQ(lu.sorties.out, "");
        EXPECT_EQ(lu.data->shptype[0], type);
        EXPECT_EQ(lu.data->shptype[1], type);
        EXPECT_EQ(parts(lu.data, 0), std::vector<shp::Part>{ligne(4, -1.5, 44.0)});
        EXPECT_EQ(parts(lu.data, 1), (std::vector<shp::Part>{anneau, ligne(2, 7, 8)}));
        deleteshp(lu.data, lu.count);
        EXPECT_EQ(lu.data, nullptr);
    }
}

TEST(Lecture, MixedRecordTypesKeepTheirOwn)
{
    Lu lu;
    lis(shp::file(3, {{3, {ligne(2, 0, 0)}}, {5, {ligne(4, 1, 1)}}}), lu);
    ASSERT_NE(lu.data, nullptr);
    ASSERT_EQ(lu.count, 2);
    EXPECT_EQ(lu.data->shptype[0], 3);
    EXPECT_EQ(lu.data->shptype[1], 5);
}

TEST(Lecture, HeaderOnlyGivesEmptyResult)
{
    Lu lu;
    lis(shp::file(5, {}), lu);
    ASSERT_NE(lu.data, nullptr);
    EXPECT_EQ(lu.count, 0);
    EXPECT_EQ(lu.data->partn, nullptr);
    EXPECT_EQ(lu.data->pointn, nullptr);
    EXPECT_EQ(lu.data->x, nullptr);
    EXPECT_EQ(lu.data->y, nullptr);
    EXPECT_EQ(lu.data->shptype, nullptr);
    EXPECT_EQ(lu.sorties.err + lu.sorties.out, "");
}

TEST(Lecture, PartStartsSplitThePoints)
{
    // Parts {0, 3} of 7 points: 3 then 4 points, each its own.
    shp::Part sept = ligne(7, 10, 20);
    Lu lu;
    lis(avecEntete(3, shp::withHeader(1, shp::rawContent(3, 2, 7, {0, 3}, sept))), lu);
    ASSERT_NE(lu.data, nullptr);
    ASSERT_EQ(lu.count, 1);
    ASSERT_EQ(lu.data->partn[0], 2);
    EXPECT_EQ(lu.data->pointn[0][0], 3);
    EXPECT_EQ(lu.data->pointn[0][1], 4);
    EXPECT_EQ(parts(lu.data, 0), (std::vector<shp::Part>{shp::Part(sept.begin(), sept.begin() + 3),
                                                         shp::Part(sept.begin() + 3, sept.end())}));
}

TEST(Lecture, EqualStartsMakeEmptyParts)
{
    shp::Part quatre = ligne(4, 0, 0);
    Lu lu;
    lis(avecEntete(3, shp::withHeader(1, shp::rawContent(3, 4, 4, {0, 2, 2, 4}, quatre))), lu);
    ASSERT_NE(lu.data, nullptr) << lu.sorties.err;
    ASSERT_EQ(lu.data->partn[0], 4);
    EXPECT_EQ(parts(lu.data, 0),
              (std::vector<shp::Part>{{quatre[0], quatre[1]}, {}, {quatre[2], quatre[3]}, {}}));
}

TEST(Lecture, FirstStartAboveZeroKeepsTheNextRecordInPlace)
{
    // The points before the first part's start belong to no part; they are
    // still part of the record, so the next record is read where it is.
    shp::Part cinq = ligne(5, 3, 3);
    shp::Bytes corps = shp::withHeader(1, shp::rawContent(5, 1, 5, {2}, cinq));
    shp::append(corps, shp::record(2, {5, {ligne(3, -9, -9)}}));
    Lu lu;
    lis(avecEntete(5, corps), lu);
    ASSERT_NE(lu.data, nullptr) << lu.sorties.err;
    ASSERT_EQ(lu.count, 2);
    EXPECT_EQ(parts(lu.data, 0), std::vector<shp::Part>{shp::Part(cinq.begin() + 2, cinq.end())});
    EXPECT_EQ(parts(lu.data, 1), std::vector<shp::Part>{ligne(3, -9, -9)});
}

TEST(Lecture, LargeRecordKeepsEveryPointInItsPart)
{
    // Too large for the reader's buffer: 700 points before the first part,
    // then an empty part, 800 and 1,501 points, an empty last part; the
    // next record must be read where it is.
    shp::Part tous = ligne(3001, 0.5, 1000);
    shp::Bytes corps =
        shp::withHeader(1, shp::rawContent(5, 4, 3001, {700, 700, 1500, 3001}, tous));
    shp::append(corps, shp::record(2, {3, {ligne(2, 1, 2)}}));
    Lu lu;
    lis(avecEntete(5, corps), lu);
    ASSERT_NE(lu.data, nullptr) << lu.sorties.err;
    ASSERT_EQ(lu.count, 2);
    const std::vector<shp::Part> attendu = {{},
                                            shp::Part(tous.begin() + 700, tous.begin() + 1500),
                                            shp::Part(tous.begin() + 1500, tous.end()),
                                            {}};
    EXPECT_EQ(parts(lu.data, 0), attendu);
    EXPECT_EQ(parts(lu.data, 1), std::vector<shp::Part>{ligne(2, 1, 2)});
    EXPECT_EQ(lu.sorties.err + lu.sorties.out, "");

    // A block big enough to have its pages given before it is filled, the
    // blocks of the records around it kept whole.
    shp::Part grand = ligne(9000, -3.25, 7);
    shp::Bytes gros = shp::record(1, {5, {ligne(5, 2, 3)}});
    shp::append(gros, shp::withHeader(2, shp::rawContent(5, 2, 9000, {100, 4100}, grand)));
    shp::append(gros, shp::record(3, {3, {ligne(4, 8, 1)}}));
    Lu gl;
    lis(avecEntete(5, gros), gl);
    ASSERT_NE(gl.data, nullptr) << gl.sorties.err;
    ASSERT_EQ(gl.count, 3);
    EXPECT_EQ(parts(gl.data, 0), std::vector<shp::Part>{ligne(5, 2, 3)});
    EXPECT_EQ(parts(gl.data, 1),
              (std::vector<shp::Part>{shp::Part(grand.begin() + 100, grand.begin() + 4100),
                                      shp::Part(grand.begin() + 4100, grand.end())}));
    EXPECT_EQ(parts(gl.data, 2), std::vector<shp::Part>{ligne(4, 8, 1)});
}

TEST(Lecture, NoPartsSkipsTheRecordAndGoesOnAfterNumPoints)
{
    // NumParts 0 with NumPoints 5: nothing of the record is stored and the 4
    // bytes after its NumPoints field are the next record's number.
    for (int numParts : {0, -3}) {
        shp::Bytes corps = shp::withHeader(1, shp::rawContent(3, numParts, 5, {}, {}));
        shp::append(corps, shp::record(2, {3, {ligne(2, 1, 2)}}));
        Lu lu;
        lis(avecEntete(3, corps), lu);
        ASSERT_NE(lu.data, nullptr);
        ASSERT_EQ(lu.count, 1);
        EXPECT_EQ(parts(lu.data, 0), std::vector<shp::Part>{ligne(2, 1, 2)});
        EXPECT_EQ(lu.sorties.err + lu.sorties.out, "");
    }
}

TEST(Lecture, GrowsPastSixtyFourRecordsInOrder)
{
    std::vector<shp::Record> recs;
    for (int r = 0; r < 65; ++r)
        recs.push_back({r % 2 ? 5 : 3, {ligne(1 + r % 4, r, -r)}});
    Lu lu;
    lis(shp::file(3, recs), lu);
    ASSERT_NE(lu.data, nullptr);
    ASSERT_EQ(lu.count, 65);
    for (int r = 0; r < 65; ++r) {
        EXPECT_EQ(lu.data->shptype[r], recs[r].type);
        EXPECT_EQ(parts(lu.data, r), recs[r].parts) << "record " << r;
    }
}

TEST(Lecture, RecordNumbersLengthsAndBoxesAreNotChecked)
{
    shp::Bytes c = shp::rawContent(3, 1, 2, {0}, ligne(2, 5, 5));
    shp::Bytes corps;
    shp::bigEndian(corps, 77); // out of sequence
    shp::bigEndian(corps, 3);  // wrong length
    shp::append(corps, c);
    Lu lu;
    lis(avecEntete(3, corps), lu);
    ASSERT_NE(lu.data, nullptr);
    EXPECT_EQ(lu.count, 1);
    EXPECT_EQ(lu.sorties.err + lu.sorties.out, "");
}

TEST(Rejet, FileCodeAndShortFiles)
{
    const shp::Bytes vide = shp::file(3, {});
    shp::Bytes petit = vide;
    petit[0] = 0x0A, petit[1] = 0x27, petit[2] = 0, petit[3] = 0;
    struct Cas {
        shp::Bytes bytes;
        std::string message;
    } cas[] = {
        {petit, "invalid big File code=0xa270000!\n"},
        {{}, "invalid big File code=0x0!\n"},
        {{0x00, 0x00, 0x27}, "invalid big File code=0x2700!\n"},
        {shp::Bytes(vide.begin(), vide.begin() + 60),
         "incomplete file header: 60 bytes instead of 100!\n"},
        {shp::Bytes(vide.begin(), vide.begin() + 4),
         "incomplete file header: 4 bytes instead of 100!\n"},
    };
    for (const Cas &c : cas) {
        Lu lu;
        lis(c.bytes, lu);
        EXPECT_EQ(lu.data, nullptr);
        EXPECT_EQ(lu.count, 0);
        EXPECT_EQ(lu.sorties.err, ERR + c.message);
        EXPECT_EQ(lu.sorties.out, "");
    }
}

TEST(Rejet, FileShapeTypesOtherThanLinesAndPolygons)
{
    for (int type : {0, 1, 8, 13, 15, 23, 25, 31, -1}) {
        Lu lu;
        lis(shp::file(type, {{3, {ligne(2, 0, 0)}}}), lu);
        EXPECT_EQ(lu.data, nullptr);
        EXPECT_EQ(lu.sorties.err,
                  ERR + "invalid file shape type '" + std::to_string(type) + "'!\n");
    }
}

TEST(Rejet, RecordShapeTypeRejectsTheWholeFile)
{
    for (int type : {0, 1, 8, 31}) {
        Lu lu;
        lis(shp::file(3, {{3, {ligne(2, 0, 0)}}, {type, {ligne(2, 0, 0)}}, {3, {ligne(2, 0, 0)}}}),
            lu);
        EXPECT_EQ(lu.data, nullptr);
        EXPECT_EQ(lu.count, 1); // stored before the failure, then released
        EXPECT_EQ(lu.sorties.err,
                  ERR + "invalid record shape type '" + std::to_string(type) + "'\n");
    }
}

TEST(Rejet, ImpossiblePartStartsAndCounts)
{
    // A valid first record, then a complete record whose counts can't be.
    struct Cas {
        int numParts, numPoints;
        std::vector<int> starts;
        std::string message;
    } cas[] = {
        {2, 4, {-1, 2}, "record 2: invalid start -1 of part 0 (NumParts=2, NumPoints=4)!\n"},
        {3, 4, {0, 3, 1}, "record 2: invalid start 1 of part 2 (NumParts=3, NumPoints=4)!\n"},
        {2, 4, {0, 5}, "record 2: invalid start 5 of part 1 (NumParts=2, NumPoints=4)!\n"},
        {1, 4, {9}, "record 2: invalid start 9 of part 0 (NumParts=1, NumPoints=4)!\n"},
        {1, -2, {0}, "record 2: invalid NumPoints=-2!\n"},
    };
    for (const Cas &c : cas) {
        shp::Bytes corps = shp::record(1, {3, {ligne(3, 0, 0)}});
        shp::append(corps, shp::withHeader(2, shp::rawContent(3, c.numParts, c.numPoints, c.starts,
                                                              ligne(4, 1, 1))));
        shp::append(corps, shp::record(3, {3, {ligne(3, 0, 0)}}));
        Lu lu;
        lis(avecEntete(3, corps), lu);
        EXPECT_EQ(lu.data, nullptr);
        EXPECT_EQ(lu.sorties.err, ERR + c.message);
        EXPECT_EQ(lu.sorties.out, "");
    }
}

TEST(Rejet, MissingFileAndDirectory)
{
    Lu lu;
    Capture c;
    std::string absent = shp::scratchPath("absent.shp");
    lu.data = fscan_shp(absent.c_str(), lu.count);
    Sorties s = c.fin();
    EXPECT_EQ(lu.data, nullptr);
    EXPECT_EQ(s.err, ERR + "impossible to open shp file '" + absent + "'!\n");

    // Not regular files: refused before any read, and a FIFO without a
    // writer must not hold the reader.
    const std::string rep = getenv("KALU_SCRATCH") ? getenv("KALU_SCRATCH") : "/tmp";
    const std::string fifo = shp::scratchPath("fifo.shp");
    remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string &chemin : {rep, fifo}) {
        Capture c2;
        lu.data = fscan_shp(chemin.c_str(), lu.count);
        EXPECT_EQ(lu.data, nullptr);
        EXPECT_EQ(c2.fin().err, ERR + "impossible to open shp file '" + chemin + "'!\n");
    }
    remove(fifo.c_str());
}

TEST(Lecture, ReadOnlyFileIsRead)
{
    std::string chemin = shp::scratchPath("lecture-seule.shp");
    remove(chemin.c_str());
    ASSERT_TRUE(shp::write(chemin, shp::file(5, {{5, {ligne(3, 0, 0)}}})));
    ASSERT_EQ(chmod(chemin.c_str(), 0444), 0);
    Lu lu;
    lu.data = fscan_shp(chemin.c_str(), lu.count);
    ASSERT_NE(lu.data, nullptr);
    EXPECT_EQ(lu.count, 1);
    chmod(chemin.c_str(), 0644);
}

// Two complete records, then the last one cut at every byte offset.
TEST(Coupe, AtEveryOffsetOfTheLastRecord)
{
    std::vector<shp::Record> recs = {{3, {ligne(2, 0, 0)}}, {5, {ligne(3, 1, 1), ligne(4, 2, 2)}}};
    shp::Bytes entier = shp::file(3, recs);
    shp::Bytes dernier = shp::record(3, {3, {ligne(5, 6, 6), ligne(2, 7, 7)}});
    shp::append(entier, dernier);
    const size_t debut = entier.size() - dernier.size();
    for (size_t coupe = 1; coupe < dernier.size(); ++coupe) {
        Lu lu;
        lis(shp::Bytes(entier.begin(), entier.begin() + debut + coupe), lu);
        ASSERT_NE(lu.data, nullptr) << "cut at " << coupe;
        ASSERT_EQ(lu.count, 2) << "cut at " << coupe;
        EXPECT_EQ(parts(lu.data, 0), recs[0].parts);
        EXPECT_EQ(parts(lu.data, 1), recs[1].parts);
        EXPECT_EQ(lu.sorties.err, "") << "cut at " << coupe;
        // 1 to 3 bytes where a record number should be: padding, no warning.
        std::string avis = coupe < 4 ? ""
                                     : "[<../src/zolshp.cpp.fscan_shp>] record 3 cut short by the "
                                       "end of the file: dropped, reading stops!\n";
        EXPECT_EQ(lu.sorties.out, avis) << "cut at " << coupe;
    }
}

TEST(Coupe, CountsThatCannotFitAreDroppedBeforeAllocating)
{
    // Hostile counts in an otherwise short file: nothing of the size they
    // claim may be allocated (the sanitizer build would fail on it).
    struct Cas {
        int numParts, numPoints;
    } cas[] = {{1, 0x7fffffff}, {0x7fffffff, 1}, {0x40000000, 0x40000000}, {2, 3}};
    for (const Cas &c : cas) {
        shp::Bytes corps = shp::record(1, {3, {ligne(2, 0, 0)}});
        shp::append(corps,
                    shp::withHeader(2, shp::rawContent(3, c.numParts, c.numPoints, {0}, {})));
        Lu lu;
        lis(avecEntete(3, corps), lu);
        ASSERT_NE(lu.data, nullptr);
        EXPECT_EQ(lu.count, 1);
        EXPECT_EQ(lu.sorties.out, ERR + "record 2 cut short by the end of the file: dropped, "
                                        "reading stops!\n");
    }
}

TEST(Flux, ReadsFromMemory)
{
    shp::Bytes b = shp::file(5, {{5, {ligne(3, 0, 0)}}, {3, {ligne(2, 1, 1)}}});
    FILE *f = fmemopen(b.data(), b.size(), "rb");
    ASSERT_NE(f, nullptr);
    Lu lu;
    lu.data = fscan_shp_flux(f, "memoire", lu.count);
    fclose(f);
    ASSERT_NE(lu.data, nullptr);
    EXPECT_EQ(lu.count, 2);
    EXPECT_EQ(parts(lu.data, 1), std::vector<shp::Part>{ligne(2, 1, 1)});
}

// A stream that raises the stop flag once the first record has been read
// (header 100 bytes, record 104): the reading stops before the
// next record, keeps nothing and says nothing.
ssize_t litPuisArrete(void *cookie, char *tampon, size_t n)
{
    auto *c = static_cast<std::pair<FILE *, std::atomic<bool> *> *>(cookie);
    const size_t lus = fread(tampon, 1, n, c->first);
    if (ftello(c->first) >= 204)
        c->second->store(true);
    return ssize_t(lus);
}

int chercheDans(void *cookie, off64_t *pos, int depuis)
{
    FILE *f = static_cast<std::pair<FILE *, std::atomic<bool> *> *>(cookie)->first;
    if (fseeko(f, *pos, depuis) != 0)
        return -1;
    *pos = ftello(f);
    return 0;
}

TEST(Flux, AStopFromTheCallerEndsTheReadingAndKeepsNothing)
{
    shp::Bytes b =
        shp::file(5, {{5, {ligne(3, 0, 0)}}, {3, {ligne(2, 1, 1)}}, {3, {ligne(2, 1, 1)}}});
    std::atomic<bool> arret{false};
    std::pair<FILE *, std::atomic<bool> *> cookie{fmemopen(b.data(), b.size(), "rb"), &arret};
    cookie_io_functions_t fonctions{litPuisArrete, nullptr, chercheDans, nullptr};
    FILE *f = fopencookie(&cookie, "rb", fonctions);
    ASSERT_NE(f, nullptr);
    char petit[64]; // reads of 64 bytes: the flag rises within record 2
    setvbuf(f, petit, _IOFBF, sizeof petit);
    Lu lu;
    Capture c;
    lu.data = fscan_shp_flux(f, "arrete", lu.count, &arret);
    lu.sorties = c.fin();
    fclose(f);
    fclose(cookie.first);
    EXPECT_EQ(lu.data, nullptr);
    EXPECT_EQ(lu.count, 1);
    EXPECT_EQ(lu.sorties.out + lu.sorties.err, "");
}

// The follower sees each record as stored, in order, before the verdict;
// the blocks it takes are gone from the result, the others stay. A reading
// that fails later has shown its first records all the same.
TEST(Flux, AFollowerSeesEachRecordAsItIsStored)
{
    const std::vector<shp::Record> records = {
        {5, {ligne(3, 0, 0)}}, {3, {ligne(2, 1, 1), ligne(4, 2, 2)}}, {3, {ligne(2, 5, 5)}}};
    shp::Bytes b = shp::file(5, records);
    FILE *f = fmemopen(b.data(), b.size(), "rb");
    std::vector<std::vector<shp::Part>> vus;
    std::vector<long long> restes;
    Lu lu;
    lu.data = fscan_shp_flux(f, "suivi", lu.count, nullptr, [&](const ShpEnregistrement &e) {
        EXPECT_EQ(e.r, int(vus.size()));
        std::vector<shp::Part> parties;
        for (int p = 0; p < e.partn; ++p) {
            shp::Part partie;
            for (int k = 0; k < e.pointn[p]; ++k)
                partie.push_back({e.x[p][k], e.y[p][k]});
            parties.push_back(partie);
        }
        vus.push_back(parties);
        restes.push_back(e.reste);
        return e.r != 1; // the second record's points stay with the result
    });
    fclose(f);
    ASSERT_NE(lu.data, nullptr);
    ASSERT_EQ(vus.size(), 3u);
    for (size_t r = 0; r < 3; ++r)
        EXPECT_EQ(vus[r], records[r].parts) << r;
    EXPECT_EQ(restes.back(), 0);
    EXPECT_EQ(lu.data->x[0], nullptr);
    EXPECT_EQ(parts(lu.data, 1), records[1].parts);
    EXPECT_EQ(lu.data->x[2], nullptr);

    std::vector<shp::Record> casses = records;
    casses[2].type = 1;
    b = shp::file(5, casses);
    f = fmemopen(b.data(), b.size(), "rb");
    int suivis = 0, count = 0;
    Capture c;
    ShpData *d = fscan_shp_flux(f, "casse", count, nullptr, [&](const ShpEnregistrement &) {
        ++suivis;
        return true;
    });
    c.fin();
    fclose(f);
    EXPECT_EQ(d, nullptr);
    EXPECT_EQ(suivis, 2);
}

// The header's box as declared, whatever the points say; no box without a
// header.
TEST(Entete, TheDeclaredBoxAndTheSize)
{
    shp::Bytes b = shp::file(5, {{5, {ligne(3, 0, 0)}}});
    const double cotes[4] = {-1.5, 2, 300, 4e10};
    for (int k = 0; k < 4; ++k)
        std::memcpy(b.data() + 36 + 8 * k, &cotes[k], 8);
    const std::string chemin = shp::scratchPath("boite.shp");
    ASSERT_TRUE(shp::write(chemin, b));
    double x0, y0, x1, y1;
    long long taille = 0;
    ASSERT_TRUE(boite_shp(chemin.c_str(), x0, y0, x1, y1, taille));
    EXPECT_EQ(x0, -1.5);
    EXPECT_EQ(y0, 2);
    EXPECT_EQ(x1, 300);
    EXPECT_EQ(y1, 4e10);
    EXPECT_EQ(taille, (long long)b.size());
    ASSERT_TRUE(shp::write(chemin, shp::Bytes(b.begin(), b.begin() + 60)));
    EXPECT_FALSE(boite_shp(chemin.c_str(), x0, y0, x1, y1, taille));
    EXPECT_FALSE(boite_shp("/nonexistent/boite.shp", x0, y0, x1, y1, taille));
}

TEST(Liberation, NullIsAccepted)
{
    ShpData *d = nullptr;
    EXPECT_EQ(deleteshp(d, 3), 0);
    EXPECT_EQ(d, nullptr);
}

} // namespace
