// zoltabx: typed arrays.
//
// Growable arrays: the caller holds a count, an array variable and a
// capacity, all three zero/null before the first append. Blocks come from
// new[] and are released with delete[] by the caller.
#ifndef ZOLTABX_H
#define ZOLTABX_H

// Appends `valeur` as element `n` of `tab`, growing the block by 75 elements
// (allocate, copy, release the old block) when it is full. Returns 0, or -1
// with the array unchanged when the larger block cannot be had (allocation
// failure or a capacity beyond the int range).
// Instantiated for char, int, double, char*, int* and double*.
template <typename T>
int ajoutetab(int &n, T *&tab, int &nmax, T valeur);

#endif
