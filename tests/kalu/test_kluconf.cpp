// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own build stamp and compiler version.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "kluconf.h"
#include "zolconf.h"

namespace
{

std::string prend(char *s)
{
    std::unique_ptr<char[]> garde(s);
    return s ? std::string(s) : std::string("<null>");
}

TEST(Kluconf, StampModesAndCompiler)
{
    std::string complet = prend(klutemps(0));
    ASSERT_EQ(complet.size(), 19u);
    EXPECT_EQ(prend(klutemps(-2)), complet.substr(0, 19));
    EXPECT_EQ(prend(klutemps(-1)), complet.substr(0, 10));
    std::string fichier = prend(klutemps(1));
    EXPECT_EQ(fichier.substr(0, 10), complet.substr(0, 10));
    EXPECT_EQ(fichier[10], '_');
    // The program and its library are built by the same compiler here.
    EXPECT_EQ(prend(klugcc()), prend(zolgcc()));
}

} // namespace
