// SPDX-License-Identifier: GPL-3.0-or-later
#include "zoltabx.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <new>
#include <numeric>
#include <utility>

#include "zolconf.h"
#include "zoltabr.h"

static const char ZOLSRC[] = "../src/zoltabx.cpp";

// ---- Blocks and trees of blocks --------------------------------------------

namespace
{

// What a failed tree allocation leaves to its reporter: the allocator's text,
// the level that failed (0 = top) and the index of the failing block among
// its siblings.
struct Echec {
    const char *texte = nullptr;
    int niveau = 0;
    int indice = 0;
};

// new T[n] with the allocator's failure turned into null plus its text; a
// negative n fails with std::bad_array_new_length. Reference blocks are
// null-filled so that a half-built tree can be released by the ordinary walk.
template <typename T> T *bloc(int n, Echec &e, bool nul = false)
{
    try {
        return nul ? new T[n]() : new T[n];
    } catch (const std::bad_alloc &x) {
        e.texte = x.what();
        return nullptr;
    }
}

// Type of a D-level tree over elements T: T for D = 0, T* for D = 1, ...
template <typename T, int D> struct Arbre {
    using type = typename Arbre<T, D - 1>::type *;
};
template <typename T> struct Arbre<T, 0> {
    using type = T;
};

// Releases a D-level tree whose sizes are dims[0..D-2] above the leaves,
// skipping null references.
template <typename T, int D> void libere(const int *dims, typename Arbre<T, D>::type b)
{
    if constexpr (D > 1) {
        if (b != nullptr)
            for (int i = 0; i < dims[0]; ++i)
                libere<T, D - 1>(dims + 1, b[i]);
    }
    delete[] b;
}

// Builds a D-level tree of sizes dims[0..D-1] depth first, the leaves filled
// with *valeur when it is given. On failure releases what it obtained and
// returns null with e describing the failing block.
template <typename T, int D>
typename Arbre<T, D>::type construit(const int *dims, const T *valeur, Echec &e, int niveau = 0)
{
    if constexpr (D == 1) {
        T *feuille = bloc<T>(dims[0], e);
        if (feuille == nullptr) {
            e.niveau = niveau;
        } else if (valeur != nullptr) {
            for (int i = 0; i < dims[0]; ++i)
                feuille[i] = *valeur;
        }
        return feuille;
    } else {
        using Fils = typename Arbre<T, D - 1>::type;
        Fils *b = bloc<Fils>(dims[0], e, true);
        if (b == nullptr) {
            e.niveau = niveau;
            return nullptr;
        }
        for (int i = 0; i < dims[0]; ++i) {
            b[i] = construit<T, D - 1>(dims + 1, valeur, e, niveau + 1);
            if (b[i] == nullptr) {
                if (e.niveau == niveau + 1)
                    e.indice = i;
                libere<T, D>(dims, b);
                return nullptr;
            }
        }
        return b;
    }
}

// The direct standard-error line of the filling cube and both four-level
// members: no trace indentation, no brackets.
void ligneerreur(const char *fonction, const char *texte, const char *fin)
{
    fprintf(stderr, "%s.%s: exception '%s%s\n", ZOLSRC, fonction, texte, fin);
    fflush(stderr);
}

} // namespace

// ---- Allocation family -----------------------------------------------------

template <typename T> ZolRemplissage<T, T *> newtab(int n, T valeur)
{
    int dims[] = {n};
    Echec e;
    T *tab = construit<T, 1>(dims, &valeur, e);
    if (tab == nullptr)
        zolerreur(ZOLSRC, "newtab", "init", "exception '%s' at array allocation!\n", e.texte);
    return tab;
}

template <typename T> T *newtab(int n, const T *source)
{
    Echec e;
    T *tab = bloc<T>(n, e);
    if (tab != nullptr)
        for (int i = 0; i < n; ++i)
            tab[i] = source[i];
    return tab;
}

template <typename T> T **newmat(int nr, int nc)
{
    int dims[] = {nr, nc};
    Echec e;
    T **mat = construit<T, 2>(dims, nullptr, e);
    if (mat == nullptr && e.niveau == 0)
        zolerreur(ZOLSRC, "newmat", "base", "memory allocation error with mat[%d] '%s'\n", nr,
                  e.texte);
    else if (mat == nullptr)
        zolerreur(ZOLSRC, "newmat", "base", "memory allocation error with mat[%d][%d] '%s'\n",
                  e.indice, nc, e.texte);
    return mat;
}

template <typename T> ZolRemplissage<T, T **> newmat(int nr, int nc, T valeur)
{
    int dims[] = {nr, nc};
    Echec e;
    T **mat = construit<T, 2>(dims, &valeur, e);
    if (mat == nullptr && e.niveau == 0)
        zolerreur(ZOLSRC, "newmat", "baseinit", "exception '%s' at first column allocation!\n",
                  e.texte);
    else if (mat == nullptr)
        zolerreur(ZOLSRC, "newmat", "baseinit", "exception '%s' at row %d allocation!\n", e.texte,
                  e.indice);
    return mat;
}

template <typename T> T **newmat(int nr, int nc, const T *const *source)
{
    T **mat = newmat<T>(nr, nc);
    if (mat == nullptr) {
        zolerreur(ZOLSRC, "newmat", "copy w__ alloc.", "invalid allocation!\n");
        return nullptr;
    }
    copiemat(nr, nc, source, mat);
    return mat;
}

template <typename T> T ***newcub(int d1, int d2, int d3)
{
    static const char *const rang[] = {"first", "second", "third"};
    int dims[] = {d1, d2, d3};
    Echec e;
    T ***cub = construit<T, 3>(dims, nullptr, e);
    if (cub == nullptr)
        zolerreur(ZOLSRC, "newcub", "w/o init.", "exception '%s' at %s dimension allocation\n",
                  e.texte, rang[e.niveau]);
    return cub;
}

template <typename T> T ***newcub(int d1, int d2, int d3, T valeur)
{
    static const char *const fin[] = {"' at first dimension allocation",
                                      "' at second column allocation",
                                      "' at third column allocation"};
    int dims[] = {d1, d2, d3};
    Echec e;
    T ***cub = construit<T, 3>(dims, &valeur, e);
    if (cub == nullptr)
        ligneerreur("newcub", e.texte, fin[e.niveau]);
    return cub;
}

template <typename T> T ****newqad(int d1, int d2, int d3, int d4)
{
    static const char *const fin[] = {
        "' at first dimension allocation", "' at second dimension allocation",
        "' at third dimension allocation", "' at fourth dimension allocation"};
    int dims[] = {d1, d2, d3, d4};
    Echec e;
    T ****qad = construit<T, 4>(dims, nullptr, e);
    if (qad == nullptr)
        ligneerreur("newqad", e.texte, fin[e.niveau]);
    return qad;
}

template <typename T> T ****newqad(int d1, int d2, int d3, int d4, T valeur)
{
    static const char *const fin[] = {
        "' at first dimension allocation", "' at second column allocation",
        "' at third column allocation", "' at fourth column allocation"};
    int dims[] = {d1, d2, d3, d4};
    Echec e;
    T ****qad = construit<T, 4>(dims, &valeur, e);
    if (qad == nullptr)
        ligneerreur("newqad", e.texte, fin[e.niveau]);
    return qad;
}

template <typename T> int deletetab(T *&tab)
{
    if (tab == nullptr)
        return -1;
    // An unregistered array gives the entry count, which retiretab refuses.
    retiretab(cherchetab(tab));
    delete[] tab;
    tab = nullptr;
    return 0;
}

template <typename T> int deletemat(int nr, T **&mat)
{
    int dims[] = {nr};
    libere<T, 2>(dims, mat);
    mat = nullptr;
    return 0;
}

template <typename T> int deletecub(int d1, int d2, T ***&cub)
{
    int dims[] = {d1, d2};
    libere<T, 3>(dims, cub);
    cub = nullptr;
    return 0;
}

template <typename T> int deleteqad(int d1, int d2, int d3, T ****&qad)
{
    int dims[] = {d1, d2, d3};
    libere<T, 4>(dims, qad);
    qad = nullptr;
    return 0;
}

template double *newtab<double>(int, double);
template int *newtab<int>(int, int);
template double *newtab<double>(int, const double *);
template char **newtab<char *>(int, char *const *);
template int *newtab<int>(int, const int *);

template double **newmat<double>(int, int);
template char ***newmat<char *>(int, int);
template int **newmat<int>(int, int);
template char ***newmat<char *>(int, int, char *);
template double **newmat<double>(int, int, double);
template int **newmat<int>(int, int, int);
template double **newmat<double>(int, int, const double *const *);
template char ***newmat<char *>(int, int, char *const *const *);
template int **newmat<int>(int, int, const int *const *);

template double ***newcub<double>(int, int, int);
template char ****newcub<char *>(int, int, int);
template int ***newcub<int>(int, int, int);
template double ***newcub<double>(int, int, int, double);
template int ***newcub<int>(int, int, int, int);

template double ****newqad<double>(int, int, int, int);
template int ****newqad<int>(int, int, int, int);
template double ****newqad<double>(int, int, int, int, double);
template int ****newqad<int>(int, int, int, int, int);

template int deletetab<double>(double *&);
template int deletetab<int>(int *&);
template int deletetab<char>(char *&);
template int deletetab<char *>(char **&);
template int deletetab<int *>(int **&);
template int deletetab<double *>(double **&);

template int deletemat<double>(int, double **&);
template int deletemat<char *>(int, char ***&);
template int deletemat<int>(int, int **&);
template int deletemat<char>(int, char **&);

template int deletecub<double>(int, int, double ***&);
template int deletecub<char *>(int, int, char ****&);
template int deletecub<int>(int, int, int ***&);

template int deleteqad<double>(int, int, int, double ****&);
template int deleteqad<int>(int, int, int, int ****&);

// ---- Scales ----------------------------------------------------------------

namespace
{

// Values 1..n-1 (n >= 2) of the regular scale from a to b; value 0 is set
// by the caller. Each value weighs the two ends afresh instead of adding a
// step, so no rounding piles up; the last one is b itself.
void remplitlin(int n, double a, double b, double *tab)
{
    double m = n - 1;
    for (int i = 1; i < n - 1; ++i)
        tab[i] = ((m - i) * a + i * b) / m;
    tab[n - 1] = b;
}

// The step and deviation of the least-squares line through x[0]; -1 when
// the series turns back. A zero difference carries the last non-zero one
// forward, so that 1 2 2 1 is still seen to turn.
int ajuste(int n, const double *x, double &pas, double &ecart)
{
    double sens = 0.0;
    double s = 0.0;
    double t = 0.0;
    for (int i = 1; i < n; ++i) {
        double d = x[i] - x[i - 1];
        if (d * sens < 0.0)
            return -1;
        if (d != 0.0)
            sens = d;
        s += (x[i] - x[0]) * i;
        t += static_cast<double>(i) * i;
    }
    pas = s / t;
    double somme = 0.0;
    for (int i = 0; i < n; ++i) {
        double r = x[i] - x[0] - i * pas;
        somme += r * r;
    }
    ecart = somme / n;
    return 0;
}

// A scale block from newtab, or null after passing newtab's failure on
// under the scale operation's name.
double *blocechelle(double *tab, const char *qualif)
{
    if (tab == nullptr)
        zolerreur(ZOLSRC, "newtablin", qualif, "%s() error!\n", "newtab");
    return tab;
}

} // namespace

int newtablin(int n, double a, double b, double *tab)
{
    if (n <= 0) {
        zolerreur(ZOLSRC, "newtablin", "w/o alloc.", "negative number of value in scale!\n");
        return -1;
    }
    tab[0] = a;
    if (n > 1)
        remplitlin(n, a, b, tab);
    return 0;
}

double *newtablin(int n, double a, double b)
{
    if (n <= 0) {
        zolerreur(ZOLSRC, "newtablin", "w/o alloc.", "negative number of value in scale!\n");
        return nullptr;
    }
    double *tab = blocechelle(newtab(n, a), nullptr);
    if (tab != nullptr && n > 1)
        remplitlin(n, a, b, tab);
    return tab;
}

double *newtablin(int n, const double *x, double *pas, double *ecart, int *nval)
{
    const char *q = "irregular";
    if (n < 1) {
        zolerreur(ZOLSRC, "newtablin", q, "invalid irregular scale (x%d)\n", n);
        return nullptr;
    }
    if (n == 1) {
        if (pas != nullptr)
            *pas = 0.0;
        if (ecart != nullptr)
            *ecart = 0.0;
        if (nval != nullptr)
            *nval = 1;
        return blocechelle(newtab(1, x[0]), q);
    }
    double s = 0.0;
    double d = 0.0;
    if (ajuste(n, x, s, d) != 0) {
        zolerreur(ZOLSRC, "newtablin", q, "invalid irregular scale (not monotonic)\n");
        return nullptr;
    }
    if (pas != nullptr)
        *pas = s;
    if (ecart != nullptr)
        *ecart = d;
    double intervalles = s == 0.0 ? NAN : std::round((x[n - 1] - x[0]) / s);
    if (!std::isfinite(intervalles)) {
        zolerreur(ZOLSRC, "newtablin", q, "invalid irregular scale (no step)\n");
        return nullptr;
    }
    // A monotonic series has a step of the sign of its range: no negative count.
    if (intervalles > INT_MAX - 1) {
        zolerreur(ZOLSRC, "newtablin", q, "invalid irregular scale (too many values)\n");
        return nullptr;
    }
    int m = static_cast<int>(intervalles);
    if (nval != nullptr)
        *nval = m + 1;
    const double tolerance = 2.220446049250313e-16;
    if (m + 1 == n && d <= tolerance)
        return blocechelle(newtab(n, x), q);
    double *tab = blocechelle(newtab(m + 1, x[0]), q);
    if (tab != nullptr && m > 0)
        remplitlin(m + 1, x[0], x[n - 1], tab);
    return tab;
}

int newtablog(int n, double a, double b, double *tab)
{
    if (n <= 0)
        return 0;
    tab[0] = a;
    // The powers are taken one by one: their product is what the scale is
    // defined by, and the end values stay a and b within rounding.
    double m = n - 1;
    for (int i = 1; i < n; ++i)
        tab[i] = std::pow(a, (m - i) / m) * std::pow(b, i / m);
    return 0;
}

double *newtablog(int n, double a, double b)
{
    double *tab = newtab(n > 0 ? n : 0, a);
    if (tab == nullptr)
        zolerreur(ZOLSRC, "newtablog", nullptr, "%s() error!\n", "newtab");
    else
        newtablog(n, a, b, tab);
    return tab;
}

// ---- Array and matrix views -------------------------------------------------

namespace
{

// Rotates v[0..n-1] in place so that element k goes to (k + a) mod n, by
// following the gcd(n, a) cycles with one element held aside.
template <typename T> void tourne(int n, T *v, int a)
{
    if (n <= 0)
        return;
    int d = a % n;
    if (d < 0)
        d += n;
    if (d == 0)
        return;
    int cycles = std::gcd(n, d);
    for (int debut = 0; debut < cycles; ++debut) {
        T garde = std::move(v[debut]);
        int k = debut;
        for (;;) {
            int avant = k - d < 0 ? k - d + n : k - d;
            if (avant == debut)
                break;
            v[k] = std::move(v[avant]);
            k = avant;
        }
        v[k] = std::move(garde);
    }
}

bool dimcourvalide(int dimcour)
{
    return dimcour == 1 || dimcour == 2;
}

} // namespace

template <typename T> T **matresse(int nr, int nc, T *tab)
{
    Echec e;
    T **mat = bloc<T *>(nr, e);
    if (mat == nullptr) {
        zolerreur(ZOLSRC, "matresse", nullptr, "exception '%s' at first column allocation\n",
                  e.texte);
        return nullptr;
    }
    for (int i = 0; i < nr; ++i)
        mat[i] = tab + static_cast<long>(i) * nc;
    return mat;
}

template <typename T> int tab_mat(int nr, int nc, const T *tab, int dimcour, T **mat)
{
    if (!dimcourvalide(dimcour)) {
        zolerreur(ZOLSRC, "tab_mat", "w/o alloc.", "invalid drived dimension '%d'!", dimcour);
        return -1;
    }
    for (int i = 0; i < nr; ++i)
        for (int j = 0; j < nc; ++j)
            mat[i][j] = dimcour == 1 ? tab[i + static_cast<long>(j) * nr]
                                     : tab[static_cast<long>(i) * nc + j];
    return 0;
}

template <typename T> T **tab_mat(int nr, int nc, const T *tab, int dimcour)
{
    if (!dimcourvalide(dimcour)) {
        zolerreur(ZOLSRC, "tab_mat", "w/o alloc.", "invalid drived dimension '%d'!", dimcour);
        return nullptr;
    }
    T **mat = newmat<T>(nr, nc);
    if (mat != nullptr)
        tab_mat(nr, nc, tab, dimcour, mat);
    return mat;
}

template <typename T>
int mat_tab(int nr, int nc, const T *const *mat, int r, int c, int &taille, T *tab)
{
    if (mat == nullptr)
        return -1;
    if (nr < 0 || r < -1 || r > nr)
        return -2;
    if (nc < 0 || c < -1 || c > nc)
        return -3;
    int rs = r > 0 ? 1 : nr;
    int cs = c > 0 ? 1 : nc;
    if (tab == nullptr) {
        taille = rs * cs;
        return 0;
    }
    if (rs * cs != taille) {
        zolerreur(ZOLSRC, "mat_tab", nullptr, "no match between array & matrix size!\n");
        return -4;
    }
    int i0 = r > 0 ? r - 1 : 0;
    int j0 = c > 0 ? c - 1 : 0;
    for (int i = 0; i < rs; ++i)
        for (int j = 0; j < cs; ++j)
            tab[r < c ? i + j * rs : i * cs + j] = mat[i0 + i][j0 + j];
    return 0;
}

template <typename T> T *mat_tab(int nr, int nc, const T *const *mat, int r, int c)
{
    int taille = 0;
    if (mat_tab(nr, nc, mat, r, c, taille, static_cast<T *>(nullptr)) != 0)
        return nullptr;
    Echec e;
    T *tab = bloc<T>(taille, e);
    if (tab != nullptr)
        mat_tab(nr, nc, mat, r, c, taille, tab);
    return tab;
}

template <typename T> T *mat_tab(int nr, int nc, const T *const *mat, int dimcour)
{
    if (!dimcourvalide(dimcour))
        return nullptr;
    // Running dimension 1 is the selection (-1, 0), column order; 2 is (0, 0).
    return mat_tab(nr, nc, mat, dimcour - 2, 0);
}

template <typename T> int mat_tab(int nr, int nc, const T *const *mat, int dimcour, T *tab)
{
    if (!dimcourvalide(dimcour))
        return -1;
    int taille = nr * nc;
    return mat_tab(nr, nc, mat, dimcour - 2, 0, taille, tab) == 0 ? 0 : -2;
}

template <typename T> int copiemat(int nr, int nc, const T *const *source, T **dest)
{
    for (int i = 0; i < nr; ++i)
        for (int j = 0; j < nc; ++j)
            dest[i][j] = source[i][j];
    return 0;
}

template <typename T> int decalemat(int nr, int nc, const T *const *source, int a, int b, T **dest)
{
    if (nr <= 0)
        return 0;
    if (source != dest)
        copiemat(nr, nc, source, dest);
    tourne(nr, dest, a);
    for (int i = 0; i < nr; ++i)
        tourne(nc, dest[i], b);
    return 0;
}

template <typename T> int decaletab(int n, const T *source, int a, T *dest)
{
    if (n <= 0)
        return 0;
    if (source != dest)
        for (int i = 0; i < n; ++i)
            dest[i] = source[i];
    tourne(n, dest, a);
    return 0;
}

template <typename T> int renverse(int n, const T *source, T *dest)
{
    if (source == dest) {
        for (int i = 0, j = n - 1; i < j; ++i, --j)
            std::swap(dest[i], dest[j]);
        return 0;
    }
    for (int i = 0; i < n; ++i)
        dest[i] = source[n - 1 - i];
    return 0;
}

#define ZOL_VUES(T)                                                                                \
    template T **matresse<T>(int, int, T *);                                                       \
    template T **tab_mat<T>(int, int, const T *, int);                                             \
    template int tab_mat<T>(int, int, const T *, int, T **);                                       \
    template int mat_tab<T>(int, int, const T *const *, int, int, int &, T *);                     \
    template T *mat_tab<T>(int, int, const T *const *, int);                                       \
    template T *mat_tab<T>(int, int, const T *const *, int, int);                                  \
    template int mat_tab<T>(int, int, const T *const *, int, T *);                                 \
    template int copiemat<T>(int, int, const T *const *, T **);                                    \
    template int decalemat<T>(int, int, const T *const *, int, int, T **);                         \
    template int decaletab<T>(int, const T *, int, T *);                                           \
    template int renverse<T>(int, const T *, T *);

typedef char *zolchaine;
ZOL_VUES(double)
ZOL_VUES(zolchaine)
ZOL_VUES(int)
template int renverse<char>(int, const char *, char *);

// ---- Typed growable array ---------------------------------------------------

template <typename T> int ajoutetab(int &n, T *&tab, int &nmax, T valeur)
{
    const int pas = 75;
    int k = n;
    if (nmax < k + 1) {
        if (nmax > INT_MAX - pas)
            return -1;
        T *plus = new (std::nothrow) T[nmax + pas];
        if (plus == nullptr)
            return -1;
        for (int i = 0; i < k; ++i)
            plus[i] = tab[i];
        delete[] tab;
        tab = plus;
        nmax += pas;
    }
    tab[k] = valeur;
    n = k + 1;
    return 0;
}

template int ajoutetab<char>(int &, char *&, int &, char);
template int ajoutetab<int>(int &, int *&, int &, int);
template int ajoutetab<double>(int &, double *&, int &, double);
template int ajoutetab<char *>(int &, char **&, int &, char *);
template int ajoutetab<int *>(int &, int **&, int &, int *);
template int ajoutetab<double *>(int &, double **&, int &, double *);
