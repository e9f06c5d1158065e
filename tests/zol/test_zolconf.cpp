// SPDX-License-Identifier: GPL-3.0-or-later
// The trace facility, the build stamps and the fixed values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "capture.h"
#include "zolconf.h"

namespace
{

const char SRC[] = "../src/zoltest.cpp";

// Brings the process-wide trace depth back to 0 whatever a test left.
void remetProfondeur()
{
    Capture c;
    while (zolprofondeur() > 0)
        zolsortie(SRC, "reset", nullptr);
    while (zolprofondeur() < 0)
        zolentree(SRC, "reset", nullptr);
}

class Trace : public ::testing::Test
{
  protected:
    void SetUp() override { remetProfondeur(); }
    void TearDown() override { remetProfondeur(); }
};

TEST_F(Trace, ErrorGoesToStderrWithPrefixAndNoAddedLineBreak)
{
    Capture c;
    zolerreur(SRC, "newtabx", nullptr, "memory allocation error!\n");
    zolerreur(SRC, "newtabx", "w/o alloc.", "invalid size '%d'!", -3);
    Sorties s = c.fin();
    EXPECT_EQ(s.out, "");
    EXPECT_EQ(s.err, "[<../src/zoltest.cpp.newtabx>] memory allocation error!\n"
                     "[<../src/zoltest.cpp.newtabx(\"w/o alloc.\")>] invalid size '-3'!");
}

TEST_F(Trace, WarningIsTheSameLineOnStdout)
{
    Capture c;
    zolavis(SRC, "zolrep", nullptr, "warning, %s environment variable is not set!\n", "ZOL");
    zolavis(SRC, "matresse", "irregular", "%x %lf\n", 255, 1.5);
    Sorties s = c.fin();
    EXPECT_EQ(s.err, "");
    EXPECT_EQ(s.out, "[<../src/zoltest.cpp.zolrep>] warning, ZOL environment variable is not set!\n"
                     "[<../src/zoltest.cpp.matresse(\"irregular\")>] ff 1.500000\n");
}

TEST_F(Trace, EntryAndExitBracketAndIndent)
{
    Capture c;
    zolentree(SRC, "ext", nullptr);
    EXPECT_EQ(zolprofondeur(), 1);
    zolmessage("un\n");
    zolentree(SRC, "int", "base");
    zolmessage("deux\n");
    zolerreur(SRC, "int", nullptr, "err\n");
    zolsortie(SRC, "int", "base");
    zolsortie(SRC, "ext", nullptr);
    EXPECT_EQ(zolprofondeur(), 0);
    zolmessage("trois\n");
    Sorties s = c.fin();
    EXPECT_EQ(s.out, "[>../src/zoltest.cpp.ext]\n"
                     "  un\n"
                     "  [>../src/zoltest.cpp.int(\"base\")]\n"
                     "    deux\n"
                     "  [<../src/zoltest.cpp.int(\"base\")]\n"
                     "[<../src/zoltest.cpp.ext]\n"
                     "trois\n");
    EXPECT_EQ(s.err, "    [<../src/zoltest.cpp.int>] err\n");
}

TEST_F(Trace, NegativeDepthWritesNoIndentation)
{
    Capture c;
    zolsortie(SRC, "seul", nullptr);
    EXPECT_EQ(zolprofondeur(), -1);
    zolmessage("a");
    zolentree(SRC, "x", nullptr);
    zolmessage("b\n");
    zolentree(SRC, "y", nullptr);
    zolmessage("c\n");
    Sorties s = c.fin();
    // The message without a line break leaves the next line on the same line.
    EXPECT_EQ(s.out, "[<../src/zoltest.cpp.seul]\n"
                     "a[>../src/zoltest.cpp.x]\n"
                     "b\n"
                     "[>../src/zoltest.cpp.y]\n"
                     "  c\n");
}

TEST_F(Trace, MutedKeepsErrorsAndWarningsAndTheDepth)
{
    Capture c;
    const long avant = zolsignalements();
    zolsourdine(true);
    zolentree(SRC, "ext", nullptr);
    zolmessage("muet\n");
    zolavis(SRC, "ext", nullptr, "avis\n");
    zolerreur(SRC, "ext", nullptr, "err\n");
    zolentree(SRC, "int", nullptr);
    zolsourdine(false);
    // The depth went on counting: unmuted lines stand where they belong.
    zolmessage("dedans\n");
    zolsortie(SRC, "int", nullptr);
    zolsortie(SRC, "ext", nullptr);
    Sorties s = c.fin();
    EXPECT_EQ(s.out, "  [<../src/zoltest.cpp.ext>] avis\n"
                     "    dedans\n"
                     "  [<../src/zoltest.cpp.int]\n"
                     "[<../src/zoltest.cpp.ext]\n");
    EXPECT_EQ(s.err, "  [<../src/zoltest.cpp.ext>] err\n");
    EXPECT_EQ(zolsignalements() - avant, 2);
}

std::string prend(char *s)
{
    std::unique_ptr<char[]> garde(s);
    return s ? std::string(s) : std::string("<null>");
}

TEST(BuildStamp, EveryModeOfBothForms)
{
    const char *d = "Oct 27 2019", *t = "11:38:54";
    // zoltemps-like: no date-only form.
    EXPECT_EQ(prend(zolhorodatage(d, t, 0, false, SRC, "zoltemps")), "2019-10-27 11:38:54");
    EXPECT_EQ(prend(zolhorodatage(d, t, 1, false, SRC, "zoltemps")), "2019-10-27_11-38-54");
    EXPECT_EQ(prend(zolhorodatage(d, t, 7, false, SRC, "zoltemps")), "2019-10-27_11-38-54");
    EXPECT_EQ(prend(zolhorodatage(d, t, -1, false, SRC, "zoltemps")), "2019-10-27 11:38:54");
    // klutemps-like: mode -1 is the date alone.
    EXPECT_EQ(prend(zolhorodatage(d, t, -1, true, SRC, "klutemps")), "2019-10-27");
    EXPECT_EQ(prend(zolhorodatage(d, t, -2, true, SRC, "klutemps")), "2019-10-27 11:38:54");
    EXPECT_EQ(prend(zolhorodatage(d, t, 0, true, SRC, "klutemps")), "2019-10-27 11:38:54");
    EXPECT_EQ(prend(zolhorodatage(d, t, 2, true, SRC, "klutemps")), "2019-10-27_11-38-54");
}

TEST(BuildStamp, MonthWordAndDay)
{
    EXPECT_EQ(prend(zolhorodatage("Jan  3 2020", "01:02:03", 0, false, SRC, "f")),
              "2020-01-03 01:02:03");
    EXPECT_EQ(prend(zolhorodatage("DEC 31 1999", "23:59:59", 0, false, SRC, "f")),
              "1999-12-31 23:59:59");
    EXPECT_EQ(prend(zolhorodatage("mAy 15 2021", "12:00:00", 1, false, SRC, "f")),
              "2021-05-15_12-00-00");
}

TEST(BuildStamp, YearsThatDoNotFitGiveAnEmptyStamp)
{
    // The lowest int as a year once overflowed when counted from 1900.
    EXPECT_EQ(prend(zolhorodatage("Oct 27 -2147483648", "11:38:54", 0, false, SRC, "f")), "");
    EXPECT_EQ(prend(zolhorodatage("Oct 27 -2147483648", "11:38:54", -1, true, SRC, "f")), "");
    EXPECT_EQ(prend(zolhorodatage("Oct 27 2147483647", "11:38:54", 1, false, SRC, "f")), "");
    EXPECT_EQ(prend(zolhorodatage("Oct 27 99999", "11:38:54", 0, false, SRC, "f")), "");
}

TEST(BuildStamp, UnknownMonthIsReportedUnderTheCaller)
{
    Capture c;
    EXPECT_EQ(zolhorodatage("Sept 27 2019", "11:38:54", 0, false, SRC, "zoltemps"), nullptr);
    EXPECT_EQ(zolhorodatage("Okt 27 2019", "11:38:54", 0, true, "../kalu/kluconf.cpp", "klutemps"),
              nullptr);
    EXPECT_EQ(zolhorodatage("", "", 0, false, SRC, "zoltemps"), nullptr);
    Sorties s = c.fin();
    EXPECT_EQ(s.err, "[<../src/zoltest.cpp.zoltemps>] month identifier 'sept' is unknown!\n"
                     "[<../kalu/kluconf.cpp.klutemps>] month identifier 'okt' is unknown!\n"
                     "[<../src/zoltest.cpp.zoltemps>] month identifier '' is unknown!\n");
    EXPECT_EQ(s.out, "");
}

TEST(BuildStamp, OwnStampHasTheRightShape)
{
    std::string a = prend(zoltemps(0)), b = prend(zoltemps(1));
    ASSERT_EQ(a.size(), 19u);
    ASSERT_EQ(b.size(), 19u);
    EXPECT_EQ(a[4], '-');
    EXPECT_EQ(a[10], ' ');
    EXPECT_EQ(a[13], ':');
    EXPECT_EQ(b[10], '_');
    EXPECT_EQ(b.find_first_of(" :"), std::string::npos);
}

TEST(Versions, FixedStringsAreHeapCopies)
{
    EXPECT_EQ(prend(zolversion()), "19.10");
    std::string gcc = prend(zolgcc());
    EXPECT_EQ(std::count(gcc.begin(), gcc.end(), '.'), 2) << gcc;
#if defined(__GNUC__) && !defined(__clang__)
    EXPECT_EQ(gcc.substr(0, gcc.find('.')), std::to_string(__GNUC__));
#endif
    std::string plat = prend(zolplateforme());
    EXPECT_NE(plat, "gwin64");
#if defined(__linux__) && defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
    EXPECT_EQ(plat, "glin64");
#endif
}

uint64_t bits(double v)
{
    uint64_t b;
    memcpy(&b, &v, sizeof b);
    return b;
}

TEST(FixedValues, ExactDoubles)
{
    EXPECT_EQ(bits(zoldeuxpi()), bits(6.283185307179586));
    EXPECT_EQ(bits(zolcelerite()), bits(299792458.0));
    EXPECT_EQ(bits(zolkboltz()), bits(1.3806504e-23));
    EXPECT_EQ(bits(zolkboltzdb()), bits(-228.599162769405));
    EXPECT_EQ(bits(zolreq()), bits(6378137.0));
    EXPECT_EQ(bits(zolrpol()), bits(6356752.3));
    EXPECT_EQ(bits(zolrmoy()), bits(6371008.7714));
    EXPECT_EQ(bits(zolmuterre()), bits(398600.4418));
    EXPECT_EQ(bits(zolua()), bits(149597870700.0));
    EXPECT_EQ(bits(zolt25()), bits(298.15));
    EXPECT_EQ(zolval2m24(), 1.0 / 16777216.0);
    EXPECT_EQ(zolval35785700(), 35785700.0);
    EXPECT_EQ(zolval696265000(), 696265000.0);
    EXPECT_EQ(zolval333(), 333.0);
    EXPECT_NEAR(zolkboltzdb(), 10.0 * std::log10(zolkboltz()), 1e-9);
    EXPECT_EQ(zoltaille(0), 8);
    EXPECT_EQ(zoltaille(1), 4);
    EXPECT_EQ(zoltaille(2), 1);
    EXPECT_EQ(zoltaille(3), 0);
    EXPECT_EQ(zoltaille(-1), 0);
}

} // namespace
