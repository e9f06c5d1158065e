// SPDX-License-Identifier: GPL-3.0-or-later
// zolfichier: file utilities over 8-bit, NUL-terminated paths.
//
// Taking paths apart, both '/' and '\\' separate components; putting them
// together, the native separator '/' is used. Failures are reported through
// zolerreur under the operation's own name, except where a prototype says
// the operation writes no message.
#ifndef ZOLFICHIER_H
#define ZOLFICHIER_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// ---- File system --------------------------------------------------------

// 1 if `nom` names a regular file (or a link to one) that can be opened for
// reading (it is closed again at once), otherwise 0. A directory, a FIFO, a
// socket or a device is not a file: it gives 0, at once. Writes no message.
int fexiste(const char *nom);

// Size in bytes of the file `nom`, as a 32-bit value; 0 for a directory.
// Failures: -1 after "impossible to get size of file '%s'!\n" when the file
// cannot be examined; -2 after "error size of file '%s' is over 4 Go!\n"
// when the size does not fit in 32 bits. Files of 4294967294 and 4294967295
// bytes are refused in the same way, so that a size never reads as a
// failure value. Sizes from 2 GiB on come back negative when read as int:
// read the result as uint32_t when such files are possible, after testing
// for exactly -1 and -2.
int foctet(const char *nom);

// Copies the `longueur` bytes at `bloc` into a new temporary file and
// returns that file opened for reading, positioned at its start. The caller
// closes the stream with fclose. The file stays on disk: it is never
// removed, and its name is not returned.
// The file is made in the directory "<base>/tmp", which must exist: <base>
// is zolrep() (warning when ZOL is not set), else the system's temporary
// directory (TMPDIR, else /tmp). Its name is "zo" plus six characters.
// `opentype` must be "r". Returns null after a report when:
//  - `opentype` is not "r", or `bloc` is null while `longueur` is not 0;
//  - the system's temporary directory is unusable: "erreur GetTempPath()!\n";
//  - the file cannot be created: "erreur GetTempFileName()!\n";
//  - the block cannot be written whole, or the file reopened; the file is
//    then removed.
FILE *mem_file(const void *bloc, uint64_t longueur, const char *opentype);

// Creates the directory `chemin` (its parent must exist). Returns 0 when
// created, 1 when it existed already, -1 on any other failure. Writes no
// message.
int cree_repertoire(const char *chemin);

// Lists the directory `chemin`, appending the full path "<chemin>/<name>" of
// every entry but "." and ".." to `reps` (directories, symbolic links
// followed) or to `fichiers` (everything else), in the order the system
// delivers them. The vectors are appended to, not cleared.
// First of all every '\\' of the caller's string is rewritten to '/', in
// place, even when the listing then fails.
// Returns 0, or -1 after a report when the path is 2048 bytes long or more,
// when the directory cannot be listed ("invalid directory path '%s'!\n"), or
// when memory runs out (the vectors may then hold part of the listing).
int losstier(char *chemin, std::vector<std::string> &reps, std::vector<std::string> &fichiers);

// ---- Paths --------------------------------------------------------------

// A path taken apart by decoupe_chemin. The record and its four strings are
// new blocks from new[]: release each string with delete[], then the record
// with delete[].
struct Chemin {
    char *rep;  // everything before the last separator, without it
    char *nom;  // everything after the last separator
    char *base; // nom without its extension
    char *ext;  // what follows the last '.' of nom, without the dot
};

// Splits `chemin` at its last separator ('/' or '\\') and its file name at
// the last '.'. No separator: `rep` is empty and `nom` the whole path. No
// dot: `base` is `nom` and `ext` is empty. "a/b/roads.shp" gives "a/b",
// "roads.shp", "roads", "shp"; "dir/" gives "dir" and three empty strings;
// ".profile" an empty base and the extension "profile". A null path is taken
// as the empty one. Returns a new record (see Chemin), or null when memory
// runs out. Writes no message.
Chemin *decoupe_chemin(const char *chemin);

// ---- Text files ---------------------------------------------------------
// A line end is LF, CR, or CR followed by LF (one line end). After a CR the
// next character is read ahead and pushed back unless it is an LF. Every
// byte value, 255 and NUL included, is ordinary text; only the end of the
// file (or a read error, taken as such) ends the text. The text after the
// last line end is one more line, possibly empty, for fligne and fscan_txt.

// Reads the next line of `flux` and consumes its line end. Returns the line
// without its line end as a new string from malloc (release with free): the
// empty string at the end of the file, null when memory runs out (the line
// is then partly consumed). Writes no message.
char *lire_ligne(FILE *flux);

// Consumes the next line of `flux` and its line end. Returns the number of
// characters of the line without its line end (INT_MAX for longer lines).
// Writes no message.
int saute_ligne(FILE *flux);

// Counts the lines of the file `nom`: returns the number of lines holding a
// character other than space and tab, and sets `nvide` to the number of the
// other lines (empty ones included). The two add up to the number of line
// ends plus one (each count stops at INT_MAX).
// Failure: -1 after "impossible to open file '%s'\n"; `nvide` is unchanged.
// A path that is not a regular file (directory, FIFO, socket, device) fails
// in the same way, without waiting on it.
int fligne(const char *nom, int &nvide);

// Loads the file `nom` as its lines. Sets `n` to 0 once the file is open,
// then to the number of lines, and returns a new array of n + 1 pointers:
//  - entries 0 to n - 1: the lines in file order, each a new string that
//    keeps its line end as read ("\n", "\r\n" or "\r"; none on the last
//    line), followed by a NUL;
//  - entry n: a new array of n ints, the length in bytes of each line, line
//    end included, stored as char*: reach it with
//    reinterpret_cast<int *>(tab[n]).
// A line may hold NUL bytes: use its length, not strlen.
// Everything is allocated with new[]: release the n lines with delete[],
// the length array with delete[] after casting it back to int*, then the
// array with delete[].
// Failures: null after "impossible to open file '%s'\n" (`n` unchanged;
// also for a path that is not a regular file, refused without waiting), or
// after "memory allocation error!\n" (`n` is 0; a line of 2 GiB or more also
// gives this).
char **fscan_txt(const char *nom, int &n);

#endif
