// zolcomb: combinatorial routines over caller-supplied int arrays.
#ifndef ZOLCOMB_H
#define ZOLCOMB_H

// Mixed-radix counter over the box {1..lim[0]} x ... x {1..lim[n-1]}, the
// last position varying fastest. initcounter prepares c (n ints) so that the
// first nextcounter gives (1, ..., 1); each later nextcounter gives the next
// tuple in lexicographic order and returns 1, and the call that finds none
// returns 0 and leaves c equal to lim. Nothing is allocated. With n < 1 both
// do nothing (nextcounter returns 0).
void initcounter(int n, int *c);
int nextcounter(int n, const int *lim, int *c);

#endif
