// File utilities on real files made under the test's scratch directory.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "zolfichier.h"

namespace {

std::string scratch(const char *nom)
{
    const char *base = getenv("KALU_SCRATCH");
    return std::string(base ? base : "/tmp") + "/" + nom;
}

TEST(Fexiste, FileMissingAndDirectory)
{
    std::string f = scratch("fexiste.shp");
    FILE *w = fopen(f.c_str(), "w");
    ASSERT_NE(w, nullptr);
    fclose(w);
    EXPECT_EQ(fexiste(f.c_str()), 1);
    EXPECT_EQ(fexiste((f + ".absent").c_str()), 0);
    EXPECT_EQ(fexiste(""), 0);

    // A directory can be opened for reading on this platform; it is not a file.
    std::string d = scratch("fexiste.d");
    mkdir(d.c_str(), 0777);
    EXPECT_EQ(fexiste(d.c_str()), 0);
    EXPECT_EQ(fexiste("/"), 0);
}

} // namespace
