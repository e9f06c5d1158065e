// SPDX-License-Identifier: GPL-3.0-or-later
// Entry of the window tests: one QApplication for the whole test program.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
