// SPDX-License-Identifier: GPL-3.0-or-later
// zolconf: Zol's trace facility, build stamps, version strings and constants.
//
// Every diagnostic of Zol and of the program goes through the five trace
// operations below. Each writes one formatted piece of text, indented by two
// spaces per trace level, and flushes its stream at once so that standard
// output and standard error stay in order with each other.
//
// Any thread may trace: each line is written whole, never mixed with
// another thread's. The trace depth is one process-wide counter, shared by
// every thread.
#ifndef ZOLCONF_H
#define ZOLCONF_H

#include <cstdio>
#include <ctime>

#if defined(__GNUC__)
#define ZOL_PRINTF(fmt, first) __attribute__((format(printf, fmt, first)))
#else
#define ZOL_PRINTF(fmt, first)
#endif

// ---- Trace facility ----------------------------------------------------
// `source` is the reporting module's path as the build names it (library
// modules "../src/<module>.cpp"), `fonction` the public name of the reporting
// operation, `qualif` the variant of an overloaded operation or null.

// Error, on standard error: indentation, "[<source.fonction>] " (or
// "[<source.fonction(\"qualif\")>] "), then the message. No line break is
// added: the format supplies its own.
void zolerreur(const char *source, const char *fonction, const char *qualif, const char *format,
               ...) ZOL_PRINTF(4, 5);

// Warning: exactly as zolerreur, on standard output.
void zolavis(const char *source, const char *fonction, const char *qualif, const char *format, ...)
    ZOL_PRINTF(4, 5);

// Entry trace on standard output: "[>source.fonction]\n" (or with
// "(\"qualif\")") at the current depth, then the depth grows by one.
void zolentree(const char *source, const char *fonction, const char *qualif);

// Exit trace: the depth shrinks by one first, then "[<source.fonction]\n" at
// the new depth. Depth is not bounded: an unmatched exit makes it negative,
// and lines carry no indentation until it is positive again.
void zolsortie(const char *source, const char *fonction, const char *qualif);

// Free text on standard output at the current indentation.
void zolmessage(const char *format, ...) ZOL_PRINTF(1, 2);

// Lines of free text already formatted (`texte`, `n` bytes, each line
// ending in "\n"), each written at the current indentation as zolmessage
// writes it, all under one lock and flushed once at the end: a step that
// reports a million lines doesn't pay a million writes. Nothing when muted.
void zolmessages(const char *texte, size_t n);

// Whether free messages are muted now (zolsourdine): a caller may skip
// making text that would not be written.
bool zolmuet();

// Current trace depth (for tests and for callers that check their brackets).
int zolprofondeur();

// Muted (true), the entry and exit traces and the free messages write
// nothing, while the depth still follows them: a program run by scripts
// keeps only what calls for attention. Errors and warnings are always
// written. Off at start, as the viewer wants every line.
void zolsourdine(bool muet);

// Errors and warnings written so far: a caller tells by the difference
// whether an operation reported anything.
long zolsignalements();

// ---- Build stamps and version strings ----------------------------------
// Every string returned here is a new block from new[]: release it with
// delete[].

// Stamp of the moment zolconf was compiled: mode >= 1 gives
// "YYYY-MM-DD_hh-mm-ss" (fit for file names), any other mode
// "YYYY-MM-DD hh:mm:ss". Null on failure.
char *zoltemps(int mode);

// Zol's version, "19.10".
char *zolversion();
// Version of the compiler that built Zol, "major.minor.patch".
char *zolgcc();
// Short platform tag of this build of Zol: compiler letter ('g' GCC,
// 'c' Clang), system ("lin", "win", "mac", ...) and pointer width, for
// example "glin64" for GCC on x86-64 Linux.
char *zolplateforme();

// Parses a compile date as the compiler writes it ("Oct 27 2019", a day
// below 10 preceded by an extra blank; the month word is compared without
// regard to case and must have exactly three letters) and a compile time
// ("11:38:54") into the six fields of *tm. Returns 0, or -1 after reporting
// "month identifier '%s' is unknown!\n" under `fonction` of `source`.
int zoldatecompil(const char *date, const char *heure, struct tm *tm, const char *source,
                  const char *fonction);

// Build stamp of the given compile date and time: mode >= 1 gives
// "%Y-%m-%d_%H-%M-%S"; mode -1 gives "%Y-%m-%d" when `dateseule` is true;
// every other mode "%Y-%m-%d %H:%M:%S". New block (delete[]), null on
// failure, reported under `fonction` of `source`.
char *zolhorodatage(const char *date, const char *heure, int mode, bool dateseule,
                    const char *source, const char *fonction);

// Copy of `texte` in a new block (delete[]).
char *zolcopie(const char *texte);

// ---- Fixed values -------------------------------------------------------
double zoldeuxpi();       // 2 pi
double zolcelerite();     // speed of light in vacuum, m/s
double zolkboltz();       // Boltzmann constant, J/K
double zolkboltzdb();     // 10 log10 of the Boltzmann constant above
double zolreq();          // WGS 84 equatorial radius of the Earth, m
double zolrpol();         // WGS 84 polar radius of the Earth, m
double zolrmoy();         // mean radius of the Earth, m
double zolmuterre();      // gravitational parameter of the Earth, km^3/s^2
double zolua();           // astronomical unit, m
double zolt25();          // 25 degrees Celsius in kelvin
double zolval2m24();      // 2^-24
double zolval35785700();  // 35785700.0
double zolval696265000(); // 696265000.0
double zolval333();       // 333.0

// Width in bytes of an element type code: 8 for code 0 (double), 4 for
// code 1 (int), 1 for code 2 (char), 0 for any other code.
int zoltaille(int code);

// ---- Data file paths and environment -----------------------------------
// Zol keeps its files under the directory named by the environment variable
// ZOL; binary data files go to its sub-directory "dvr", which must exist.

// The value of ZOL, owned by the environment (never release it), or null
// after the warning "warning, ZOL environment variable is not set!\n" on
// standard output when the variable is not set or empty (an empty value
// names no directory). The warning comes once per call.
const char *zolrep();

// The separator this platform puts between path components: '/'.
char zolsep();

// Writes blocks of bytes, one after another with nothing between them, into
// the data file "<ZOL>/dvr/<nom>.bin", or "<ZOL>/dvr/<nom>_<suffixe>.bin"
// when `suffixe` is not null; the file is created or emptied first. After
// the two names come, for each block, its address (a pointer), its element
// size in bytes and its element count (two ints: cast sizeof to int), and
// finally nullptr. A first address of nullptr makes an empty file.
// Returns 0, or -1 after a report under `zolsauve`, with nothing written
// anywhere: ZOL not set ("zolrep() error!\n"), the file cannot be
// opened ("impossible to open file '%s'\n"; the dvr directory is not
// created here), a negative size or count ("invalid block of %d elements
// of %d bytes!\n", found before the file is touched), or a write that fails
// or transfers fewer bytes than asked ("error writing file '%s'!\n"; the
// partial file is removed, so an earlier file of that name is lost).
int zolsauve(const char *nom, const char *suffixe, ...);

// ---- Reference tables: DVB-S2 modes ------------------------------------
// Two built-in tables: "dvbs2" (normal frames, 28 modes) and "dvbs2short"
// (short frames, 24 modes), one row per modulation and coding mode, named
// like "QPSK_1_4" or "8PSK_3_4", sorted by threshold, and five columns:
// "ESN0THQ_DB" (threshold Es/N0, dB), "ESN0REQ_DB" (required Es/N0, dB),
// "SYMBL_BITN" (bits per symbol), "FRAME_USFLBITN" (useful bits per frame),
// "FRAME_TOTLBITN" (bits per coded frame). Names are compared exactly.

// A table of dimension number 2. The value of row i, column j (from 0) is
// tabx[i][j]. The record (new), `dimx`, the `idnx` container, its two name
// lists and the `tabx` list (all new[]) belong to whoever loaded the table:
// release them with zoltddlibere. The names and the value rows they point to
// are fixed data of the library: never release or change them.
struct ZolTable {
    int *dimx;           // {rows, columns}
    const char ***idnx;  // idnx[0]: row names, idnx[1]: column names
    const double **tabx; // one reference per row to its values
};

// Loads the table `nom` ("dvbs2" or "dvbs2short") and sets `dimn` to its
// dimension number, 2. Writes four lines "sizeof(...): %d\n" through
// zolmessage on success. Returns a new table (release with zoltddlibere),
// or null after a report under `zoltddcharge`: "'%s' is not a Quarnetis data
// table\n" for any other name (`dimn` unchanged), "%s() error!\n" with the
// getter's name when memory runs out (the pieces already made are released).
ZolTable *zoltddcharge(const char *nom, int &dimn);

// Releases a table of zoltddcharge: every list, the dimensions and the
// record. A null table is ignored.
void zoltddlibere(ZolTable *table);

// The value of table `nom` at the row named `ligne` and the column named
// `colonne`, after "dimx[0]: %d, dimx[1]: %d\n" through zolmessage. NaN,
// without a report, when the row or the column is not in the table; -1.0
// after "zoltddcharge() error!\n" under `zoltddtrouve` when the table cannot
// be loaded.
double zoltddtrouve(const char *nom, const char *ligne, const char *colonne);

// Writes table `nom` to `flux` as ';'-separated text: a header line of the
// column names, each preceded by ';', then one line per row, its name and
// ";%lf" per value; no line break after the last row. Writes "dimx[0]: %d,
// dimx[1]: %d\n" through zolmessage first. Returns 0, or -1 after
// "zoltddcharge() error!\n" under `zoltddtrace` when the table cannot be
// loaded.
int zoltddtrace(FILE *flux, const char *nom);

// The getters that build the pieces of each table. The dimx getters set
// `dimn` to 2 and return a new int[2] {rows, 5}; the idnx getters a new
// container of two new name lists (rows, columns); the tabx getters a new
// list of references to the fixed value rows. All from new[], null when
// memory runs out.
int *zoltdd_dvbs2_dimx(int &dimn);
const char ***zoltdd_dvbs2_idnx();
const double **zoltdd_dvbs2_tabx();
int *zoltdd_dvbs2short_dimx(int &dimn);
const char ***zoltdd_dvbs2short_idnx();
const double **zoltdd_dvbs2short_tabx();

#endif
