// SPDX-License-Identifier: GPL-3.0-or-later
// The nothrow forms of new, replaced in every test program that uses this:
// they count the requests and can be told to fail one, so that a test sees
// what an operation asks for and what it does when it gets nothing.
#ifndef KALU_TEST_ECHECALLOC_H
#define KALU_TEST_ECHECALLOC_H

#include <cstddef>

namespace echecalloc
{

extern int demandes;      // nothrow requests since the last reset
extern int avantEchec;    // requests to let through before one fails; -1: none
extern size_t plusGrande; // largest request since the last reset

// Counts from zero again, the next `rang` requests going through and the
// one after failing (the failure disarms the counter); -1: none fails.
void arme(int rang);

} // namespace echecalloc

#endif
