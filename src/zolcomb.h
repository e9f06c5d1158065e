// SPDX-License-Identifier: GPL-3.0-or-later
// zolcomb: combinatorial routines over caller-supplied int arrays: Bell
// numbers, k-subsets, a mixed-radix index counter and the pairings (perfect
// matchings) of an even number of elements.
//
// Elements are numbered from 1. The counter and the subset enumeration keep
// no state and allocate nothing; they may run on any thread. bell and
// pairtition go through the unlocked caches of zolmathr (binomial,
// factorielle) and must be serialised with every other user of those.
#ifndef ZOLCOMB_H
#define ZOLCOMB_H

// Bell numbers B_0..B_n: a new array of n + 1 doubles (release with
// delete[]), B_{a+1} = sum over i = 0..a of binomial(a, i) * B_i summed from
// i = 0. Exact up to B_22 = 4506715738447323. Null on failure, after a
// report under bell: n < 0 "invalid number of element!\n", no memory
// "memory allocation error!\n".
double *bell(int n);

// k-subsets of {1..n} in lexicographic order, in p (k ints, increasing).
// Call once with n <= 0 to initialise p, then with the real n >= 1 for as
// long as it returns 1: each such return leaves the next subset in p. The
// call that finds none returns 0 and leaves the last subset n-k+1..n (when
// k > n the first advance returns 0). k < 1 does nothing and returns 0,
// initialisation included.
int nextcombination(int n, int k, int *p);

// Mixed-radix counter over the box {1..lim[0]} x ... x {1..lim[n-1]}, the
// last position varying fastest. initcounter prepares c (n ints) so that the
// first nextcounter gives (1, ..., 1); each later nextcounter gives the next
// tuple in lexicographic order and returns 1, and the call that finds none
// returns 0 and leaves c equal to lim (so do all calls after it). Nothing is
// allocated. With n < 1 both do nothing (nextcounter returns 0). A position
// only grows while it is below its limit, so limits below 1 or at INT_MAX
// end the walk instead of running past them.
void initcounter(int n, int *c);
int nextcounter(int n, const int *lim, int *c);

// Pairing records of the elements elems[0..m-1]: the pre-order walk of the
// tree of all pairings, every record followed by the records of all pairings
// of the elements that remain. A record is a block of three ints: first (the
// first unpaired element at that depth), second (its partner), level (pairs
// still to form, this one included: m/2 for the records made over m
// elements). For m elements there are T(m) records, T(0) = T(1) = 0,
// T(m) = (m-1)(1 + T(m-2)): 1, 6, 35, 252, 2277 for m = 2, 4, ..., 10.
// Returns a new array of `count` record references; the array and each
// record come from malloc: free every record, then the array. m < 2: null,
// count 0, no report. Allocation failure: null, count 0, reported under
// pairinglist. Time and memory grow faster than exponentially: small m only.
int **pairinglist(int m, const int *elems, int &count);

// All pairings of {1..n}, n even: a new table of npairings = (n-1)!! rows,
// each an array of npairs = n/2 pair references, each pair a block of two
// ints (first < second). Rows come in the order of pairinglist, pairs in a
// row by increasing first element: for n = 4, {(1,2),(3,4)}, {(1,3),(2,4)},
// {(1,4),(2,3)}. Everything comes from malloc: free every pair, every row,
// then the table.
// Failures, reported under pairtition, return null with both counts 0:
//   n odd: "number of elements is odd!\n";
//   n < 0: "invalid number of elements n<0!\n";
//   n >= 22, whose (n-1)!! does not fit an int: "too many elements n>=22!\n";
//   no memory: "memory allocation error!\n" (or "pairinglist() error!\n").
// n = 0 gives one row without pairs and reports
// "invalid number of partitions!\n": the table is returned all the same
// (npairings = 1, npairs = 0); rows not found stay zero-filled.
int ***pairtition(int n, int &npairings, int &npairs);

#endif
