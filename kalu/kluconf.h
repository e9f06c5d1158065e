// SPDX-License-Identifier: GPL-3.0-or-later
// kluconf: the program's own build stamp and compiler version.
// Strings are new blocks from new[]: release them with delete[].
// Threads: any; nothing here keeps state.
#ifndef KLUCONF_H
#define KLUCONF_H

// Stamp of the moment kluconf was compiled: mode >= 1 gives
// "YYYY-MM-DD_hh-mm-ss", mode -1 the date alone "YYYY-MM-DD", every other
// mode "YYYY-MM-DD hh:mm:ss". Null on failure.
char *klutemps(int mode);

// Version of the compiler that built the program, "major.minor.patch".
char *klugcc();

#endif
