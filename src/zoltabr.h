// SPDX-License-Identifier: GPL-3.0-or-later
// zoltabr: untyped arrays: the untyped growable array, arrays whose number of
// dimensions is a run-time value, and the process-wide array registry.
//
// Every block of this module comes from malloc (or realloc) and goes back
// with free. Arrays of the new[] family of zoltabx must never be released
// here, nor these with zoltabx's releases.
#ifndef ZOLTABR_H
#define ZOLTABR_H

#include <cstddef>

// ---- Untyped growable array ------------------------------------------------
// An element size in bytes and three references held by the caller, all null
// while empty: `base` the block, `dernier` the place of the last stored
// element, `derniere_place` the place of the last element the block can hold.
// The count is (dernier - base) / taille + 1 when base is not null, 0
// otherwise. The caller releases the block with free(base).

// Appends the `taille` bytes at `valeur`. When the block is full it grows by
// the process-wide growth step (64 elements at start), through realloc so
// that large blocks may grow in place. Returns 0, or -1 with the array
// unchanged when the block cannot grow.
int ajoutetabx(size_t taille, void *&base, void *&dernier, void *&derniere_place,
               const void *valeur);

// Sets the process-wide growth step of ajoutetabx; a step below 1 is taken
// as 1. Must not run while another thread appends.
void ajoutetabx_pas(int pas);

// ---- Run-time-dimension arrays ---------------------------------------------
// An array of dimension number k >= 2 with dimensions dimx[0..k-1] and
// elements of `taille` bytes is a tree of blocks: the root holds dimx[0]
// references, each block of level L (1..k-2) dimx[L] references, and each
// leaf dimx[k-1] elements. With k = 2 and doubles it reads as a double**,
// with k = 3 as a double***, and so on. An array of dimension number 1 is one
// block of dimx[0] elements. When a leading dimension dimx[L] (L < k-1) is
// 0, the blocks of level L are empty and nothing is made below them.
// Reference blocks hold nulls until their children are linked; leaves are
// not initialised.

// New array as above. Null after "dimension number error '%d'!\n" for
// ndim < 1, or after "memory allocation error!\n" when a block cannot be had
// or a dimension is negative; a failure releases every block obtained
// before it. Release: deletetabx with the same ndim and dimx.
void *newtabx(size_t taille, int ndim, const int *dimx);

// Releases an array of newtabx (null is accepted and releases nothing).
// Returns 0, -1 after "dimension number error!\n" for ndim < 1, or -2 after
// "memory allocation error!\n" when the few ints of the walk's counter
// cannot be had (the array is then left whole). The caller's variable keeps
// its (now dangling) value.
int deletetabx(int ndim, const int *dimx, void *tab);

// Place of the element whose 1-based indices are ind[0..ndim-1]. Nothing is
// checked: indices must lie within the dimensions.
void *adressetabx(size_t taille, int ndim, const int *ind, void *tab);

// dest[i] = source[perm[i]] for i = 0..n-1, elements of `taille` bytes.
// `perm` must hold each of 0..n-1 once (not checked). `source` and `dest` are
// the same array (rearranged in place, no allocation) or do not overlap.
// Returns 0.
int permutetab(size_t taille, int n, const void *source, const int *perm, void *dest);

// Description of an array: the array, its dimension number, two copies of
// its dimension list (the second one is the holder's to use, for instance as
// a working index tuple) and a reference to the holder's data, not owned.
struct DescTabx {
    void *tab;
    int ndim;
    int *dimx;
    int *dimw;
    void *donnees;
};

// New descriptor (release: deletedesctabx). Null after
// "dimension number error '%d'!\n" for ndim < 1 or
// "memory allocation error!\n".
DescTabx *desctabx(void *tab, int ndim, const int *dimx, void *donnees);

// Releases the descriptor and its two copies (not the array nor the data)
// and sets the variable to null. Null is accepted.
void deletedesctabx(DescTabx *&desc);

// ---- Array registry --------------------------------------------------------
// One process-wide list of entries (dimension number, the caller's dimension
// list, an owned copy of it, the array), empty at start, growing by 64
// entries. Not locked: one thread at a time, deletetab of zoltabx included.

// Appends an entry for `tab`. Returns 0, or -1 after
// "dimension number error '%d'!\n" for ndim < 1 or
// "memory allocation error!\n" (the registry then stays as it was).
int inscrittab(int ndim, const int *dimx, const void *tab);

// Index of the first entry for `tab`; the number of entries when there is
// none (0 for an empty registry).
int cherchetab(const void *tab);

// Removes entry `indice` (later entries move one place down) and releases
// its copy of the dimension list. Returns 0, or -1 for an index outside the
// registry.
int retiretab(int indice);

#endif
