// zoltabr: untyped arrays.
//
// Untyped growable array: an element size in bytes and three references held
// by the caller, all null while empty: `base` the block, `dernier` the place
// of the last stored element, `derniere_place` the place of the last element
// the block can hold. The count is (dernier - base) / taille + 1 when base is
// not null, 0 otherwise. Blocks come from malloc/realloc and are released by
// the caller with free(base).
#ifndef ZOLTABR_H
#define ZOLTABR_H

#include <cstddef>

// Appends the `taille` bytes at `valeur`. When the block is full it grows by
// the process-wide growth step (64 elements at start), through realloc so
// that large blocks may grow in place. Returns 0, or -1 with the array
// unchanged when the block cannot grow.
int ajoutetabx(size_t taille, void *&base, void *&dernier, void *&derniere_place,
               const void *valeur);

// Sets the process-wide growth step of ajoutetabx; a step below 1 is taken
// as 1. Must not run while another thread appends.
void ajoutetabx_pas(int pas);

#endif
