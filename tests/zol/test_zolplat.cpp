// SPDX-License-Identifier: GPL-3.0-or-later
// The system's services on their own: a block grown in its own mapping
// keeps its bytes wherever it moves, and a temporary name that does not fit
// its buffer creates nothing.
#include <gtest/gtest.h>

#include <dirent.h>

#include "reptemp.h"
#include "zolplat.h"

namespace
{

TEST(Blocs, AGrownBlockKeepsItsBytes)
{
    const size_t debut = 3 * 4096 + 5, fin = 64u << 20;
    unsigned char *b = static_cast<unsigned char *>(zolplat_bloc_etend(nullptr, debut));
    ASSERT_NE(b, nullptr);
    for (size_t k = 0; k < debut; ++k)
        b[k] = static_cast<unsigned char>(k * 7 + 1);
    b = static_cast<unsigned char *>(zolplat_bloc_etend(b, fin));
    ASSERT_NE(b, nullptr);
    for (size_t k = 0; k < debut; ++k)
        ASSERT_EQ(b[k], static_cast<unsigned char>(k * 7 + 1)) << k;
    b[fin - 1] = 1; // the whole size is there to write
    zolplat_bloc_libere(b);
    zolplat_bloc_libere(nullptr);
}

TEST(Temporaires, ANameTooLongForItsBufferCreatesNothing)
{
    RepTemp rep;
    char nom[8];
    EXPECT_EQ(zolplat_fichiertemp(rep.chemin().c_str(), "zolplat", nom, sizeof nom), -1);
    DIR *d = opendir(rep.chemin().c_str());
    ASSERT_NE(d, nullptr);
    int entrees = 0;
    while (readdir(d) != nullptr)
        ++entrees;
    closedir(d);
    EXPECT_EQ(entrees, 2); // "." and ".."
}

} // namespace
