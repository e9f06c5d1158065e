// SPDX-License-Identifier: GPL-3.0-or-later
// zolshp: reader of the main file (.shp) of an ESRI Shapefile holding
// PolyLine (type 3) and Polygon (type 5) shapes.
//
// Only the main file is read; the index (.shx) and attribute (.dbf) files are
// never opened. The reader is strict about the file code and the shape
// types, checks that part indices and point counts describe a possible
// record, and ignores the file length, the version, every bounding box, the
// record numbers and the record content lengths.
//
// Byte order: the reader is for little-endian hosts (checked at compile
// time); the file's big-endian fields are reversed, the little-endian ones
// copied as they are.
#ifndef ZOLSHP_H
#define ZOLSHP_H

#include <atomic>
#include <cstdio>
#include <functional>

// The records read, as five parallel arrays of `count` elements in file
// order (all five null when count is 0):
//   partn[r]       number of parts of record r (at least 1);
//   pointn[r][p]   number of points of part p of record r (0 or more);
//   x[r][p][k], y[r][p][k]
//                  coordinates of point k of part p, as stored in the file;
//   shptype[r]     shape type of record r, 3 or 5 (a record's type need not
//                  match the file's).
// Storage: the five top-level arrays lie in mappings of their own
// (zolplat_bloc_etend), grown without copies. Each record lies in one block from operator new[]:
// its table of X views x[r] (the block's start), its Y views y[r], its points (X then Y) and its
// point counts pointn[r]. x[r][p] and y[r][p] are null when the record keeps no point. Points
// stored before the first part's start belong to no part and are not kept. A part without points
// may hold any pointer: never read through it. Release everything with deleteshp; a record's block
// may go before the rest with deleteshp_rcd. Memory: a reading holds its result and nothing else of
// any size. The result keeps 20 bytes (a count and two views) for each 4-byte part start of the
// file and 16 for each 16-byte point, and 32 bytes in the five arrays for each record of at least
// 56: a file of S bytes never costs more than 5 S bytes at once, plus a read buffer and the arrays'
// room to grow (as much as they hold, from a page to a megabyte each). A record of many empty parts
// reaches that bound.
struct ShpData {
    int *partn;
    int **pointn;
    double ***x;
    double ***y;
    int *shptype;
};

// Reads the shapefile `path`, opened read-only ("rb"); a path that is not a
// regular file (directory, FIFO, socket, device) is refused as one that
// can't be opened, without waiting on it.
// Result: a new ShpData (release with deleteshp) and `count` its number of
// records, or null on failure, reported through zolerreur under fscan_shp;
// `count` then holds the records stored before the failure, but nothing is
// returned and nothing stays allocated.
// Failures: the file can't be opened; its file code isn't 9994 (also a file
// too short to hold the code); its header is shorter than 100 bytes; its
// size can't be known; the file's or a record's shape type isn't 3 or 5; a
// record's NumPoints is negative or its part indices are negative,
// descending or above NumPoints; memory runs out.
// Not failures: a header-only file (count 0, all arrays null); a record with
// NumParts 0 or less (skipped, reading goes on right after its NumPoints
// field); 1 to 3 bytes after the last record (ignored). A record that the
// file ends inside of, or whose parts and points can't fit in the rest of
// the file, is dropped with a warning through zolavis and ends the reading,
// nothing allocated for it: the complete records before it are returned.
// The file's size is measured once, on the open stream, before the first
// record: bytes a file gains while it is read (a copy still being made)
// are not read, and every count stays within what that size can hold.
//
// A reading its caller may stop: `arret`, when given, is looked at before
// each record and may be set from any thread; once set, the reading stops
// there, keeps nothing and returns null without a message (`count` holds
// the records stored before).
//
// A reading its caller may follow: `suivi`, when given, is called on the
// reading thread right after each record is stored, in file order, with the
// record as stored (ShpEnregistrement). The verdict comes only at the end:
// a follower that makes something of each record as it comes must be ready
// to undo it when the reading fails. A follower that returns true is done
// with the record's points: its block is released at once, as deleteshp_rcd
// releases it, so that a reading and what is made of it don't both hold the
// whole file.
struct ShpEnregistrement {
    int r;     // its index among the stored records
    int type;  // 3 or 5
    int partn; // at least 1
    const int *pointn;
    double *const *x;
    double *const *y;
    long long reste;  // bytes of the file after it
    long long taille; // the file's size, measured on the stream read before
                      // its first record: nothing beyond it is read
};
//
// `tronquee`, when given, tells on success whether a record cut short ended
// the reading (the warning above): what was returned is not the whole file.
using ShpSuivi = std::function<bool(const ShpEnregistrement &)>;
ShpData *fscan_shp(const char *path, int &count, const std::atomic<bool> *arret = nullptr,
                   const ShpSuivi &suivi = {}, bool *tronquee = nullptr);

// Stream form of fscan_shp: reads a shapefile from `f`, positioned at the
// start of its header, until the end of the stream. The stream must be
// seekable (the file's size bounds every count before anything is
// allocated); it is neither closed nor rebuffered. `path` only names the
// file in messages. Result, failures and `count` as fscan_shp.
ShpData *fscan_shp_flux(FILE *f, const char *path, int &count,
                        const std::atomic<bool> *arret = nullptr, const ShpSuivi &suivi = {},
                        bool *tronquee = nullptr);

// The bounding box the header of the shapefile `path` declares (which the
// reader ignores, and which a damaged or careless file may get wrong), and
// the file's size in bytes. False when the file can't be opened, its file
// code isn't 9994 or its header is shorter than 100 bytes; nothing is
// reported.
bool boite_shp(const char *path, double &xmin, double &ymin, double &xmax, double &ymax,
               long long &taille);

// Releases everything fscan_shp returned for `count` records and sets `data`
// to null. A null `data` is accepted. Returns 0.
int deleteshp(ShpData *&data, int count);

// Releases the block of record r of the `count` that fscan_shp returned:
// a loader that has taken the record's points need not keep them while it
// goes on. x[r], y[r] and pointn[r] become null; partn[r] and shptype[r]
// stay, and deleteshp still releases the rest. Returns 0, or -1 when `data`
// is null or r is not a record index.
int deleteshp_rcd(ShpData *data, int count, int r);

// Copies the n bytes at `source` to `destination` in reverse order (for an
// odd n the middle byte keeps its place). The two may be the same buffer,
// but must not otherwise overlap. Returns 0.
int inverse_octets(int n, const void *source, void *destination);

// Copies the n bytes at `source` to `destination` unchanged; nothing to do
// when they are the same buffer, which is the only overlap allowed.
// Returns 0.
int copie_octets(int n, const void *source, void *destination);

#endif
