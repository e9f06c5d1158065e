// SPDX-License-Identifier: GPL-3.0-or-later
// Growable arrays: the typed append (steps of 75) and the untyped append
// (steps of the process-wide growth step).
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "zoltabr.h"
#include "zoltabx.h"

namespace
{

TEST(Ajoutetab, GrowsBySeventyFiveAndKeepsTheElements)
{
    int n = 0, nmax = 0;
    int *tab = nullptr;
    EXPECT_EQ(ajoutetab(n, tab, nmax, 100), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(nmax, 75);
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab[0], 100);

    for (int i = 1; i < 75; ++i)
        ajoutetab(n, tab, nmax, 100 + i);
    EXPECT_EQ(nmax, 75);
    int *avant = tab;
    EXPECT_EQ(ajoutetab(n, tab, nmax, 175), 0);
    EXPECT_EQ(n, 76);
    EXPECT_EQ(nmax, 150);
    EXPECT_NE(tab, avant);
    for (int i = 0; i < 76; ++i)
        ASSERT_EQ(tab[i], 100 + i);
    delete[] tab;
}

TEST(Ajoutetab, OtherElementTypes)
{
    int n = 0, nmax = 0;
    char *c = nullptr;
    for (const char *p = "bonjour"; *p; ++p)
        ajoutetab(n, c, nmax, *p);
    ajoutetab(n, c, nmax, '\0');
    EXPECT_STREQ(c, "bonjour");
    delete[] c;

    n = 0, nmax = 0;
    double *d = nullptr;
    ajoutetab(n, d, nmax, -0.5);
    EXPECT_EQ(d[0], -0.5);
    delete[] d;

    n = 0, nmax = 0;
    char **s = nullptr;
    char mot[] = "mot";
    ajoutetab(n, s, nmax, mot);
    ajoutetab(n, s, nmax, static_cast<char *>(nullptr));
    EXPECT_EQ(s[0], mot);
    EXPECT_EQ(s[1], nullptr);
    delete[] s;
}

TEST(Ajoutetab, CapacityBeyondIntRangeIsRefused)
{
    int n = INT_MAX - 10, nmax = INT_MAX - 10;
    int valeur = 7;
    int *tab = &valeur; // never touched: the larger block can't be had
    EXPECT_EQ(ajoutetab(n, tab, nmax, 1), -1);
    EXPECT_EQ(n, INT_MAX - 10);
    EXPECT_EQ(nmax, INT_MAX - 10);
    EXPECT_EQ(tab, &valeur);
}

struct Seize {
    double a, b;
};

size_t compte(void *base, void *dernier, size_t taille)
{
    if (base == nullptr)
        return 0;
    return static_cast<size_t>(static_cast<char *>(dernier) - static_cast<char *>(base)) / taille +
           1;
}

TEST(Ajoutetabx, FirstAppendMakesRoomForSixtyFour)
{
    void *base = nullptr, *dernier = nullptr, *place = nullptr;
    Seize s = {1.5, -2.5};
    EXPECT_EQ(ajoutetabx(sizeof s, base, dernier, place, &s), 0);
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(base, dernier);
    EXPECT_EQ(static_cast<char *>(place) - static_cast<char *>(base), 63 * 16);
    EXPECT_EQ(memcmp(base, &s, sizeof s), 0);
    free(base);
}

TEST(Ajoutetabx, SixtyFifthAppendGrowsToOneHundredTwentyEight)
{
    void *base = nullptr, *dernier = nullptr, *place = nullptr;
    for (int i = 0; i < 65; ++i) {
        Seize s = {double(i), double(-i)};
        ASSERT_EQ(ajoutetabx(sizeof s, base, dernier, place, &s), 0);
        ASSERT_EQ(compte(base, dernier, sizeof s), size_t(i + 1));
        if (i == 63) {
            EXPECT_EQ(dernier, place); // full
        }
    }
    EXPECT_EQ(static_cast<char *>(place) - static_cast<char *>(base), 127 * 16);
    const Seize *t = static_cast<Seize *>(base);
    for (int i = 0; i < 65; ++i) {
        EXPECT_EQ(t[i].a, i);
        EXPECT_EQ(t[i].b, -i);
    }
    free(base);
}

TEST(Ajoutetabx, GrowthStepIsProcessWide)
{
    ajoutetabx_pas(3);
    void *base = nullptr, *dernier = nullptr, *place = nullptr;
    for (int i = 0; i < 4; ++i)
        ajoutetabx(sizeof i, base, dernier, place, &i);
    EXPECT_EQ(static_cast<char *>(place) - static_cast<char *>(base), 5 * 4);
    free(base);

    // A step below 1 is taken as 1: every append then grows.
    ajoutetabx_pas(0);
    base = dernier = place = nullptr;
    int v = 9;
    ajoutetabx(sizeof v, base, dernier, place, &v);
    EXPECT_EQ(dernier, place);
    ajoutetabx(sizeof v, base, dernier, place, &v);
    EXPECT_EQ(compte(base, dernier, sizeof v), 2u);
    EXPECT_EQ(dernier, place);
    free(base);
    ajoutetabx_pas(64);
}

TEST(Ajoutetabx, SizeOverflowLeavesTheArrayAlone)
{
    void *base = nullptr, *dernier = nullptr, *place = nullptr;
    const char octet = 0;
    // 64 elements of half the address space can't be counted in size_t;
    // the value is never read since nothing is stored.
    EXPECT_EQ(ajoutetabx(SIZE_MAX / 2, base, dernier, place, &octet), -1);
    EXPECT_EQ(base, nullptr);
    EXPECT_EQ(dernier, nullptr);
    EXPECT_EQ(place, nullptr);
}

} // namespace
