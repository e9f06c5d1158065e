// SPDX-License-Identifier: GPL-3.0-or-later
// zoltabx: typed arrays of one to four dimensions, scales, array and matrix
// views, and the typed growable array.
//
// Shapes. A one-dimension array is one block of n elements. A matrix is a
// block of nr row references, each to a block of nc elements of its own
// (rows are separate blocks, not slices of one block): element (i, j) is
// m[i][j]. A cube adds one level of references (c[i][j][k]), a four-
// dimension array two (q[i][j][k][l]). Indices count from 0. A size of 0
// gives an empty block and no blocks below it.
//
// Memory. Every block of this module comes from new[] and goes back with
// delete[]; the release operations below do it level by level. Blocks of the
// run-time-dimension arrays of zoltabr come from malloc instead: never pass
// one kind to the other's release.
//
// Failures. Allocating operations catch the allocator's failure, report it
// through zolerreur (or a direct standard-error line where stated) with the
// allocator's own text ("std::bad_alloc" for exhausted memory,
// "std::bad_array_new_length" for a negative size) and return null. When a
// later block of a multi-level array cannot be had, every block obtained
// before it is released first: a failed allocation leaves nothing behind.
//
// Element types: each operation is one template, explicitly instantiated in
// zoltabx.cpp for the types listed with it; "strings" means char*.
//
// Threads: nothing here holds state except deletetab, which consults the
// process-wide array registry of zoltabr (one thread at a time).
#ifndef ZOLTABX_H
#define ZOLTABX_H

#include <type_traits>

// Result type R of the filling members, which exist for plain values and
// strings only. Without this, passing a source array or matrix would select
// the filling member (exact match) instead of the copying one.
template <typename T, typename R>
using ZolRemplissage =
    std::enable_if_t<std::is_arithmetic<T>::value || std::is_same<T, char *>::value, R>;

// ---- Allocation family ------------------------------------------------------

// n elements, all equal to `valeur`. n = 0 gives an empty (non-null) block.
// Null after "exception '%s' at array allocation!\n" (qualifier "init").
// Types: double, int. Release: deletetab.
template <typename T> ZolRemplissage<T, T *> newtab(int n, T valeur);

// Copy of the first n elements of `source` (read only when n > 0). Null,
// without a report, when the block cannot be had (negative n included).
// Types: double, strings, int. Release: deletetab.
template <typename T> T *newtab(int n, const T *source);

// nr x nc matrix, elements not initialised; newmat<T>(nr, nc). nr = 0 gives
// an empty row block, nc = 0 nr empty rows. Null after
// "memory allocation error with mat[%d] '%s'\n" (nr) for the row block or
// "memory allocation error with mat[%d][%d] '%s'\n" (row index, nc) for a
// row, qualifier "base"; the row index is 0 for a negative nc.
// Types: double, strings, int. Release: deletemat.
template <typename T> T **newmat(int nr, int nc);

// nr x nc matrix, every element equal to `valeur`. Null after
// "exception '%s' at first column allocation!\n" for the row block or
// "exception '%s' at row %d allocation!\n" (row index) for a row, qualifier
// "baseinit". Types: strings, double, int. Release: deletemat.
template <typename T> ZolRemplissage<T, T **> newmat(int nr, int nc, T valeur);

// Copy of the first nr x nc elements of `source`. When the new matrix cannot
// be had, newmat's own report is followed by "invalid allocation!\n"
// (qualifier "copy w__ alloc.") and the result is null.
// Types: double, strings, int. Release: deletemat.
template <typename T> T **newmat(int nr, int nc, const T *const *source);

// d1 x d2 x d3 cube, not initialised; newcub<T>(d1, d2, d3). Null after
// "exception '%s' at first|second|third dimension allocation\n" (qualifier
// "w/o init.") naming the level that failed.
// Types: double, strings, int. Release: deletecub.
template <typename T> T ***newcub(int d1, int d2, int d3);

// Cube with every element equal to `valeur`. On failure writes straight to
// standard error (no trace indentation)
// "../src/zoltabx.cpp.newcub: exception '<text>' at first dimension
// allocation", "...' at second column allocation" or "...' at third column
// allocation", then a line break, and returns null.
// Types: double, int. Release: deletecub.
template <typename T> T ***newcub(int d1, int d2, int d3, T valeur);

// Four-dimension array, not initialised; newqad<T>(d1, d2, d3, d4). On
// failure the standard-error line is
// "../src/zoltabx.cpp.newqad: exception '<text>' at <first|second|third|
// fourth> dimension allocation". Types: double, int. Release: deleteqad.
template <typename T> T ****newqad(int d1, int d2, int d3, int d4);

// The same with every element equal to `valeur`; the standard-error line
// ends "' at first dimension allocation" for the top level and
// "' at second|third|fourth column allocation" below it.
// Types: double, int. Release: deleteqad.
template <typename T> T ****newqad(int d1, int d2, int d3, int d4, T valeur);

// Releases a one-dimension block of this module and sets the variable to
// null, dropping the block from the array registry (zoltabr) first if it is
// registered there. Returns 0, or -1 when the variable is already null.
// Types: double, int, char, strings, int*, double*.
template <typename T> int deletetab(T *&tab);

// Release the arrays of newmat, newcub, newqad given the same leading
// sizes; every null reference met on the way is skipped, so a null variable
// is accepted whatever the sizes. Set the variable to null and return 0.
// deletemat: double, strings, int, char; deletecub: double, strings, int;
// deleteqad: double, int.
template <typename T> int deletemat(int nr, T **&mat);
template <typename T> int deletecub(int d1, int d2, T ***&cub);
template <typename T> int deleteqad(int d1, int d2, int d3, T ****&qad);

// ---- Scales -----------------------------------------------------------------
// A regular scale of n values from a to b holds
// ((n - 1 - i) a + i b) / (n - 1) at place i: exactly a first, exactly b last.

// Fills tab[0..n-1]. Returns 0, or -1 for n <= 0 after "negative number of
// value in scale!\n" (qualifier "w/o alloc.") with tab untouched. n = 1
// gives a alone.
int newtablin(int n, double a, double b, double *tab);

// New block of n values (release: deletetab), null for n <= 0 after the same
// report as above, or when the block cannot be had, after newtab's report
// and "newtab() error!\n" (no qualifier).
double *newtablin(int n, double a, double b);

// Regular scale nearest to the measured monotonic series x[0..n-1]: step s
// fitted by least squares through x[0], m = (x[n-1] - x[0]) / s intervals
// rounded half away from zero, then the m + 1 values from x[0] to x[n-1]. A
// series whose fit is exact (m + 1 = n, mean squared deviation <= 2^-52) is
// copied unchanged. Outputs, each written only when not null: `pas` the
// step, `ecart` the mean squared deviation of the series from the fitted
// line, `nval` the number of values of the result. n = 1 gives a copy of the
// single value. Null (qualifier "irregular") after
// "invalid irregular scale (x%d)\n" for n < 1,
// "invalid irregular scale (not monotonic)\n" when the series turns back
// (equal neighbours are allowed, but a turn after them is still a turn),
// "invalid irregular scale (no step)\n" when every value equals the first or
// the step is not a finite number, or
// "invalid irregular scale (too many values)\n" when m + 1 exceeds the int
// range, or "newtab() error!\n" after newtab's report when the block cannot
// be had. Release: deletetab.
double *newtablin(int n, const double *x, double *pas = nullptr, double *ecart = nullptr,
                  int *nval = nullptr);

// Geometric scale: value i = a^((n - 1 - i) / (n - 1)) * b^(i / (n - 1)),
// each power taken separately. n = 1 gives a; n <= 0 writes nothing. No
// check of a and b: a non-positive one yields NaN values. Returns 0.
int newtablog(int n, double a, double b, double *tab);

// New block of max(n, 0) values as above (release: deletetab); null only
// when the block cannot be had, after newtab's report and "newtab() error!\n"
// under newtablog.
double *newtablog(int n, double a, double b);

// ---- Array and matrix views -------------------------------------------------
// A flat array holds a matrix in one of two orders, named by the running
// dimension (the dimension whose index changes from one element to the
// next), counted from 1: 1 is column order, element (i, j) at i + j nr;
// 2 is row order, element (i, j) at i nc + j.
// Types: double, strings, int; renverse also char.

// Lays a matrix over the flat block `tab` of nr x nc elements: row i refers
// to tab + i nc. Only the block of row references is new (release it with
// delete[]; the data stays the caller's). Null after "exception '%s' at
// first column allocation\n".
template <typename T> T **matresse(int nr, int nc, T *tab);

// New nr x nc matrix (newmat without value; release: deletemat) filled from
// `tab` in the order of running dimension `dimcour`. Null after
// "invalid drived dimension '%d'!" (qualifier "w/o alloc.", no line break)
// when dimcour is neither 1 nor 2, or after newmat's own report.
template <typename T> T **tab_mat(int nr, int nc, const T *tab, int dimcour);

// The same into the caller's matrix. Returns 0, or -1 after the report above.
template <typename T> int tab_mat(int nr, int nc, const T *tab, int dimcour, T **mat);

// Extracts a selection of the nr x nc matrix into `tab`. Selectors, counted
// from 1: r a row number 1..nr, or 0 or -1 for every row; c a column number
// 1..nc, or 0 or -1 for every column. The selection has rs rows (nr, or 1)
// and cs columns (nc, or 1); when r < c it is written in column order
// (element (i, j) at i + j rs), otherwise in row order (i cs + j). With a
// null `tab` the call is a size query: stores rs cs in `taille`, returns 0.
// Otherwise `taille` must equal rs cs. Returns 0; -1 for a null matrix; -2
// for an invalid r (or a negative nr); -3 for an invalid c (or a negative
// nc); -4 after "no match between array & matrix size!\n".
template <typename T>
int mat_tab(int nr, int nc, const T *const *mat, int r, int c, int &taille, T *tab);

// The whole matrix as a new flat array in the order of running dimension
// `dimcour` (release: deletetab). Null, without a report of its own, for a
// null matrix, a running dimension other than 1 and 2, a negative size or
// a failed allocation.
template <typename T> T *mat_tab(int nr, int nc, const T *const *mat, int dimcour);

// The selection (r, c) as a new flat array (release: deletetab). Null,
// without a report, for a null matrix, invalid selectors or a failed
// allocation.
template <typename T> T *mat_tab(int nr, int nc, const T *const *mat, int r, int c);

// The whole matrix into the caller's array of nr x nc elements. Returns 0;
// -1 for a running dimension other than 1 and 2; -2 when the extraction
// fails (null matrix, negative size).
template <typename T> int mat_tab(int nr, int nc, const T *const *mat, int dimcour, T *tab);

// Copies the nr x nc elements of `source` into `dest`. Returns 0.
template <typename T> int copiemat(int nr, int nc, const T *const *source, T **dest);

// Circular shift: after copying `source` into `dest` (skipped when they are
// the same matrix), the row references of `dest` rotate by a (row k goes to
// (k + a) mod nr; only references move, so rows of a newmat matrix stay
// whole blocks) and the elements of every row by b (element k goes to
// (k + b) mod nc). Shifts may be negative or exceed the size. Nothing
// happens for nr <= 0; no column shift for nc <= 0. `source` and `dest` are
// the same matrix or share no row. Returns 0.
template <typename T> int decalemat(int nr, int nc, const T *const *source, int a, int b, T **dest);

// One-dimension form: `dest` receives `source` (skipped when they are the
// same array) rotated by a: element k goes to (k + a) mod n. The arrays are
// the same or do not overlap. Returns 0 (nothing happens for n <= 0).
template <typename T> int decaletab(int n, const T *source, int a, T *dest);

// dest[i] = source[n - 1 - i]. In place when both are the same array; they
// must not overlap otherwise. Returns 0.
template <typename T> int renverse(int n, const T *source, T *dest);

// ---- Typed growable array ---------------------------------------------------
// The caller holds a count, an array variable and a capacity, all three
// zero/null before the first append. Blocks come from new[] and are released
// with delete[] by the caller.

// Appends `valeur` as element `n` of `tab`, growing the block by 75 elements
// (allocate, copy, release the old block) when it is full. Returns 0, or -1
// with the array unchanged when the larger block cannot be had (allocation
// failure or a capacity beyond the int range).
// Instantiated for char, int, double, char*, int* and double*.
template <typename T> int ajoutetab(int &n, T *&tab, int &nmax, T valeur);

#endif
