// SPDX-License-Identifier: GPL-3.0-or-later
// The shapefile reader's memory: what it asks for, and what it does when it
// gets nothing. The reader takes each record's block, and the result's
// record, from the nothrow forms of new, which this executable replaces
// (echecalloc.h) with versions that count the requests and can be told to
// fail one. Under
// LeakSanitizer, the sanitizer build also checks that a failed reading
// gives back everything it had obtained.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "capture.h"
#include "echecalloc.h"
#include "shpwriter.h"
#include "zolshp.h"

namespace
{

const std::string PREFIXE = "[<../src/zolshp.cpp.fscan_shp>] ";

shp::Part ligne(int n, double x0)
{
    shp::Part p;
    for (int k = 0; k < n; ++k)
        p.push_back({x0 + k, -x0 - k});
    return p;
}

struct Lu {
    ShpData *data = nullptr;
    int count = -1;
    Sorties sorties;
    ~Lu() { deleteshp(data, count); }
};

// Reads `octets` with the `rang`-th nothrow request failing (from 0; -1:
// none), counting the requests.
void lis(const shp::Bytes &octets, Lu &lu, int rang = -1)
{
    const std::string chemin = shp::scratchPath("memoire.shp");
    ASSERT_TRUE(shp::write(chemin, octets));
    Capture c;
    echecalloc::arme(rang);
    lu.data = fscan_shp(chemin.c_str(), lu.count);
    echecalloc::avantEchec = -1;
    lu.sorties = c.fin();
}

TEST(Memoire, PartsTheFileCannotHoldAreNeverAllocated)
{
    // Record 2 claims 70,000 empty parts (1.4 MB of counts and views) and
    // the file holds 100 of their starts: dropped as cut short, and the only
    // blocks asked for are record 1's and the result's.
    shp::Bytes corps = shp::record(1, {3, {ligne(3, 0)}});
    shp::append(corps,
                shp::withHeader(2, shp::rawContent(3, 70000, 0, std::vector<int>(100, 0), {})));
    shp::Bytes octets = shp::header(3, 100 + corps.size());
    shp::append(octets, corps);
    Lu lu;
    lis(octets, lu);
    ASSERT_NE(lu.data, nullptr);
    EXPECT_EQ(lu.count, 1);
    EXPECT_EQ(lu.sorties.out, PREFIXE + "record 2 cut short by the end of the file: dropped, "
                                        "reading stops!\n");
    EXPECT_EQ(echecalloc::demandes, 2);
    EXPECT_LT(echecalloc::plusGrande, 1000u);
}

TEST(Memoire, ExhaustedMemoryFailsTheReadingAndKeepsNothing)
{
    // Requests in order: the blocks of records 1 to 3, then the result.
    const shp::Bytes octets =
        shp::file(5, {{5, {ligne(3, 0)}}, {3, {ligne(2, 5), ligne(4, 6)}}, {5, {ligne(600, 9)}}});
    const std::string messages[] = {
        "not enough memory for record 1 (1 parts, 3 points)!\n",
        "not enough memory for record 2 (2 parts, 6 points)!\n",
        "not enough memory for record 3 (1 parts, 600 points)!\n",
        "not enough memory for the result!\n",
    };
    for (int rang = 0; rang < 4; ++rang) {
        SCOPED_TRACE(rang);
        Lu lu;
        lis(octets, lu, rang);
        EXPECT_EQ(lu.data, nullptr);
        EXPECT_EQ(lu.count, rang); // the records stored before, released
        EXPECT_EQ(lu.sorties.err, PREFIXE + messages[rang]);
        EXPECT_EQ(lu.sorties.out, "");
    }
    Lu lu;
    lis(octets, lu);
    ASSERT_NE(lu.data, nullptr);
    EXPECT_EQ(echecalloc::demandes, 4);
}

TEST(Memoire, BytesAddedWhileTheFileIsReadAreNeitherReadNorCounted)
{
    // The follower appends, after the first record, a record claiming 50
    // million parts and a sound one: the reading ends on the two records
    // the file held when opened, without a warning, each record told the
    // size measured then, every count within it.
    const shp::Bytes octets = shp::file(3, {{3, {ligne(3, 0)}}, {3, {ligne(700, 4)}}});
    const std::string chemin = shp::scratchPath("grandit.shp");
    ASSERT_TRUE(shp::write(chemin, octets));
    shp::Bytes plus =
        shp::withHeader(3, shp::rawContent(3, 50000000, 0, std::vector<int>(100, 0), {}));
    shp::append(plus, shp::record(4, {3, {ligne(2, 0)}}));
    std::vector<long long> tailles, restes;
    auto suivi = [&](const ShpEnregistrement &e) {
        tailles.push_back(e.taille);
        restes.push_back(e.reste);
        if (e.r == 0) {
            FILE *f = std::fopen(chemin.c_str(), "ab");
            std::fwrite(plus.data(), 1, plus.size(), f);
            std::fclose(f);
        }
        return true;
    };
    Capture c;
    echecalloc::arme(-1);
    int count = 0;
    ShpData *d = fscan_shp(chemin.c_str(), count, nullptr, suivi);
    const Sorties s = c.fin();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(s.out, "");
    EXPECT_EQ(s.err, "");
    EXPECT_EQ(tailles, std::vector<long long>(2, (long long)octets.size()));
    EXPECT_EQ(restes.back(), 0);
    EXPECT_LT(echecalloc::plusGrande, 20000u);
    deleteshp(d, count);
}

} // namespace
