// SPDX-License-Identifier: GPL-3.0-or-later
// The nothrow forms of new, replaced in every test program that uses this:
// they count the requests and can be told to fail one, so that a test sees
// what an operation asks for and what it does when it gets nothing. The
// plain forms of new and delete are replaced too (on malloc and free), so
// that a test can fail one request made on another thread than its own (a
// reading thread's), as memory running out there would.
#ifndef KALU_TEST_ECHECALLOC_H
#define KALU_TEST_ECHECALLOC_H

#include <atomic>
#include <cstddef>

namespace echecalloc
{

extern int demandes;      // nothrow requests since the last reset
extern int avantEchec;    // requests to let through before one fails; -1: none
extern size_t plusGrande; // largest request since the last reset

// Counts from zero again, the next `rang` requests going through and the
// one after failing (the failure disarms the counter); -1: none fails.
void arme(int rang);

// Requests, of any form, made off the thread that armed since the last
// armeAilleurs.
extern std::atomic<long> demandesAilleurs;

// From now on, requests of any form made off the calling thread are
// counted, the next `rang` going through and the one after failing
// (std::bad_alloc, or null for the nothrow forms), which disarms the
// counter; -1: none fails and nothing is counted.
void armeAilleurs(long rang);

} // namespace echecalloc

#endif
