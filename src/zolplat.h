// SPDX-License-Identifier: GPL-3.0-or-later
// zolplat: the few services of the operating system that Zol needs and that
// differ between platforms. This is the POSIX implementation: paths are
// 8-bit strings handed to the system unchanged, and the native separator is
// '/'. No operation here writes a message; callers report.
//
// Threads: any thread may call any operation; none keeps state (a listing
// belongs to the thread that opened it).
#ifndef ZOLPLAT_H
#define ZOLPLAT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Opens the regular file `chemin` (symbolic links followed) for reading, as
// a stream in mode "r" (release it with fclose). Never blocks: a FIFO without
// a writer, a device, a socket or a directory is refused before anything is
// read. Returns null when the path cannot be opened or is not a regular file.
FILE *zolplat_ouvre(const char *chemin);

// Size in bytes of the file `chemin` (symbolic links followed) into *taille;
// a directory has size 0. Returns true, or false when the file cannot be
// examined (*taille is then left unchanged).
bool zolplat_taille(const char *chemin, uint64_t *taille);

// The system's directory for temporary files: the value of TMPDIR when it is
// set and not empty, else "/tmp". The string belongs to the environment or is
// static: never release it. Null when TMPDIR is longer than a path can be.
const char *zolplat_reptemp();

// Creates a new, empty file with a unique name "<rep>/<prefixe>XXXXXX" (the
// six characters chosen by the system, mode 0600, exclusive creation) and
// writes its full path into `nom`, a buffer of `taille` bytes. Returns the
// file's descriptor, open for reading and writing (the caller closes it), or
// -1 when the path does not fit in `nom` or the file cannot be created
// (nothing is created then, and `nom` is unspecified). Work through the
// descriptor: opening the name again would follow whatever another user may
// have put in its place in a shared directory.
int zolplat_fichiertemp(const char *rep, const char *prefixe, char *nom, size_t taille);

// Writes the `n` bytes of `bloc` through `fd` (a descriptor from
// zolplat_fichiertemp), closes it, and sets `*flux` to a new stream opened
// with `mode` on the same file, at its start, without opening its name
// again (release it with fclose). Returns 0; -1 when the write fails, -2
// when the stream can't be had (`*flux` is then null). The descriptor is
// closed in every case.
int zolplat_remplit(int fd, const void *bloc, uint64_t n, const char *mode, FILE **flux);

// Creates the directory `chemin` (mode 0777 less the umask). Returns 0, or -1
// with errno set by the system (EEXIST when it exists already).
int zolplat_mkdir(const char *chemin);

// Bytes of memory this process may still take: the least of what its
// address-space limit leaves (RLIMIT_AS less the address space in use) and
// what the system can still give without swapping out others (available
// memory plus free swap). UINT64_MAX when neither can be known.
uint64_t zolplat_memoire();

// Blocks in mappings of their own, for arrays grown an element at a time
// to tens of megabytes: growing one moves its pages rather than copying
// its bytes (mremap where the system has it), and neither the heap nor the
// heap allocator's settings are touched, whatever the other threads
// allocate meanwhile. Each block costs whole pages: for large arrays only.
// Grows (or, with `bloc` null, makes) a block to hold at least `octets`
// bytes, its first bytes kept. Returns the block, perhaps moved, or null
// when the system gives no room (the block is then left as it was).
void *zolplat_bloc_etend(void *bloc, size_t octets);
// Releases a block of zolplat_bloc_etend; null is accepted.
void zolplat_bloc_libere(void *bloc);

// Has the system give at once the pages of the `octets` bytes at `bloc`,
// a block just allocated, that the caller is about to fill whole: one call
// instead of a fault per page, which on a block of a few hundred kB the
// heap allocator just mapped took a third of its filling. Pages held
// already are left as they are; nothing happens where the system can't
// (the pages then come as they are written).
void zolplat_peuple(void *bloc, size_t octets);

// Gives back to the system the memory the heap allocator keeps free, in
// the middle of its heaps as at their ends. Takes the allocator's locks
// while it runs: call it off any thread that must answer at once.
void zolplat_rend_memoire();

// ---- Directory listing --------------------------------------------------
// A listing in progress; opened by zolplat_ouvrerep, released by
// zolplat_fermerep.
struct ZolplatListe;

// Starts listing the directory `chemin`. Returns a new listing, or null when
// the directory cannot be read. Release it with zolplat_fermerep.
ZolplatListe *zolplat_ouvrerep(const char *chemin);

// Next entry of the listing, in the order the system delivers them ("." and
// ".." included). Returns true and sets *nom (valid until the next call on
// this listing) and *estrep (the entry is a directory, symbolic links
// followed); false when there is no further entry.
bool zolplat_entree(ZolplatListe *liste, const char **nom, bool *estrep);

// Ends a listing and releases it; a null listing is ignored.
void zolplat_fermerep(ZolplatListe *liste);

#endif
