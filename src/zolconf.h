// zolconf: Zol's trace facility, build stamps, version strings and constants.
//
// Every diagnostic of Zol and of the program goes through the five trace
// operations below. Each writes one formatted piece of text, indented by two
// spaces per trace level, and flushes its stream at once so that standard
// output and standard error stay in order with each other.
//
// The trace depth is one process-wide counter without locking: the trace
// operations are for one thread.
#ifndef ZOLCONF_H
#define ZOLCONF_H

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
void zolerreur(const char *source, const char *fonction, const char *qualif,
               const char *format, ...) ZOL_PRINTF(4, 5);

// Warning: exactly as zolerreur, on standard output.
void zolavis(const char *source, const char *fonction, const char *qualif,
             const char *format, ...) ZOL_PRINTF(4, 5);

// Entry trace on standard output: "[>source.fonction]\n" (or with
// "(\"qualif\")") at the current depth, then the depth grows by one.
void zolentree(const char *source, const char *fonction, const char *qualif);

// Exit trace: the depth shrinks by one first, then "[<source.fonction]\n" at
// the new depth. Depth is not bounded: an unmatched exit makes it negative,
// and lines carry no indentation until it is positive again.
void zolsortie(const char *source, const char *fonction, const char *qualif);

// Free text on standard output at the current indentation.
void zolmessage(const char *format, ...) ZOL_PRINTF(1, 2);

// Current trace depth (for tests and for callers that check their brackets).
int zolprofondeur();

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
int zoldatecompil(const char *date, const char *heure, struct tm *tm,
                  const char *source, const char *fonction);

// Build stamp of the given compile date and time: mode >= 1 gives
// "%Y-%m-%d_%H-%M-%S"; mode -1 gives "%Y-%m-%d" when `dateseule` is true;
// every other mode "%Y-%m-%d %H:%M:%S". New block (delete[]), null on
// failure, reported under `fonction` of `source`.
char *zolhorodatage(const char *date, const char *heure, int mode,
                    bool dateseule, const char *source, const char *fonction);

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

#endif
