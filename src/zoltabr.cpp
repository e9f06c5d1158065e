// SPDX-License-Identifier: GPL-3.0-or-later
#include "zoltabr.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "zolcomb.h"
#include "zolconf.h"

static const char ZOLSRC[] = "../src/zoltabr.cpp";

// ---- Untyped growable array ------------------------------------------------

static int pas_croissance = 64;

void ajoutetabx_pas(int pas)
{
    pas_croissance = pas < 1 ? 1 : pas;
}

int ajoutetabx(size_t taille, void *&base, void *&dernier, void *&derniere_place,
               const void *valeur)
{
    char *b = static_cast<char *>(base);
    size_t utilise = b ? static_cast<size_t>(static_cast<char *>(dernier) - b) + taille : 0;
    if (dernier == derniere_place) {
        size_t pas = static_cast<size_t>(pas_croissance);
        if (taille != 0 && pas > (SIZE_MAX - utilise) / taille)
            return -1;
        size_t total = utilise + taille * pas;
        b = static_cast<char *>(realloc(b, total));
        if (b == nullptr)
            return -1;
        base = b;
        derniere_place = b + total - taille;
    }
    char *place = b + utilise;
    memcpy(place, valeur, taille);
    dernier = place;
    return 0;
}

// ---- Run-time-dimension arrays ---------------------------------------------
// The tree is walked one index tuple of its leading dimensions at a time with
// the mixed-radix counter of zolcomb, each tuple naming one leaf. Blocks are
// reached again from the root for every tuple: the walk costs a few pointer
// reads per leaf and needs no stack of blocks.

namespace
{

// Levels actually made: the tree stops at the first leading dimension that is
// 0 (or negative, for a release of a list that newtabx would have refused).
// The blocks of the last level made are the leaves.
int niveaux(int ndim, const int *dimx)
{
    for (int l = 0; l < ndim - 1; ++l)
        if (dimx[l] <= 0)
            return l + 1;
    return ndim;
}

// malloc that never answers a request for 0 bytes with null, so that null
// always means failure.
void *bloc(size_t octets)
{
    return malloc(octets != 0 ? octets : 1);
}

// Block of level `niveau` on the path of the 1-based tuple c, or null when
// the path breaks above it (a half-built tree).
void *surchemin(void *racine, const int *c, int niveau)
{
    void *b = racine;
    for (int l = 0; l < niveau && b != nullptr; ++l)
        b = static_cast<void **>(b)[c[l] - 1];
    return b;
}

// Releases a tree of p levels whose leading dimensions dimx[0..p-2] are
// positive, skipping missing children, with c (p - 1 ints) as the counter.
// A reference block goes right after its last child, i.e. when every
// position from its own level down is at its limit.
void libere(int p, const int *dimx, void *racine, int *c)
{
    if (racine != nullptr && p > 1) {
        initcounter(p - 1, c);
        while (nextcounter(p - 1, dimx, c) == 1) {
            free(surchemin(racine, c, p - 1));
            for (int l = p - 2; l >= 1 && c[l] == dimx[l]; --l)
                free(surchemin(racine, c, l));
        }
    }
    free(racine);
}

// Room for the counter over the p - 1 leading dimensions (null on failure).
int *compteur(int p)
{
    return static_cast<int *>(malloc(sizeof(int) * static_cast<size_t>(p - 1)));
}

// Makes the missing blocks on the path of tuple c; -1 when one cannot be had.
int fraiechemin(void *racine, int p, const int *dimx, size_t feuille, const int *c)
{
    void *b = racine;
    for (int l = 0; l < p - 1; ++l) {
        void **place = static_cast<void **>(b) + (c[l] - 1);
        if (*place == nullptr) {
            bool dernier = l + 1 == p - 1;
            *place = dernier ? bloc(feuille) : calloc(dimx[l + 1], sizeof(void *));
            if (*place == nullptr)
                return -1;
        }
        b = *place;
    }
    return 0;
}

// Size in bytes of a leaf, or false when a dimension is negative or the
// product overflows.
bool tailles(size_t taille, int ndim, const int *dimx, int p, size_t &feuille)
{
    for (int l = 0; l < ndim; ++l)
        if (dimx[l] < 0)
            return false;
    if (p < ndim) {
        feuille = 0; // leaves are the empty reference blocks of a 0 dimension
        return true;
    }
    size_t d = static_cast<size_t>(dimx[ndim - 1]);
    if (taille != 0 && d > SIZE_MAX / taille)
        return false;
    feuille = d * taille;
    return true;
}

void *construit(size_t taille, int ndim, const int *dimx)
{
    int p = niveaux(ndim, dimx);
    size_t feuille = 0;
    if (!tailles(taille, ndim, dimx, p, feuille))
        return nullptr;
    if (p == 1)
        return bloc(ndim == 1 ? feuille : 0);
    void *racine = calloc(dimx[0], sizeof(void *));
    int *c = compteur(p);
    if (racine == nullptr || c == nullptr) {
        free(racine);
        free(c);
        return nullptr;
    }
    int etat = 0;
    initcounter(p - 1, c);
    while (etat == 0 && nextcounter(p - 1, dimx, c) == 1)
        etat = fraiechemin(racine, p, dimx, feuille, c);
    if (etat != 0) {
        libere(p, dimx, racine, c);
        racine = nullptr;
    }
    free(c);
    return racine;
}

} // namespace

void *newtabx(size_t taille, int ndim, const int *dimx)
{
    if (ndim < 1) {
        zolerreur(ZOLSRC, "newtabx", nullptr, "dimension number error '%d'!\n", ndim);
        return nullptr;
    }
    void *tab = construit(taille, ndim, dimx);
    if (tab == nullptr)
        zolerreur(ZOLSRC, "newtabx", nullptr, "memory allocation error!\n");
    return tab;
}

int deletetabx(int ndim, const int *dimx, void *tab)
{
    if (ndim < 1) {
        zolerreur(ZOLSRC, "deletetabx", nullptr, "dimension number error!\n");
        return -1;
    }
    int p = niveaux(ndim, dimx);
    int *c = p > 1 && tab != nullptr ? compteur(p) : nullptr;
    if (p > 1 && tab != nullptr && c == nullptr) {
        zolerreur(ZOLSRC, "deletetabx", nullptr, "memory allocation error!\n");
        return -2;
    }
    libere(p, dimx, tab, c);
    free(c);
    return 0;
}

void *adressetabx(size_t taille, int ndim, const int *ind, void *tab)
{
    char *feuille = static_cast<char *>(surchemin(tab, ind, ndim - 1));
    return feuille + static_cast<size_t>(ind[ndim - 1] - 1) * taille;
}

namespace
{

// Swaps two elements byte by byte: one byte held aside, nothing allocated.
void echange(char *a, char *b, size_t taille)
{
    for (size_t i = 0; i < taille; ++i) {
        char t = a[i];
        a[i] = b[i];
        b[i] = t;
    }
}

} // namespace

int permutetab(size_t taille, int n, const void *source, const int *perm, void *dest)
{
    if (n <= 0)
        return 0;
    char *d = static_cast<char *>(dest);
    if (source != dest)
        memcpy(d, source, static_cast<size_t>(n) * taille);
    // Places before i are final. The element wanted at i, first at perm[i],
    // was moved away if that place is before i: it went where the element
    // wanted there was, so follow perm until a place not yet settled.
    for (int i = 0; i < n; ++i) {
        int k = perm[i];
        while (k < i)
            k = perm[k];
        if (k != i)
            echange(d + static_cast<size_t>(i) * taille, d + static_cast<size_t>(k) * taille,
                    taille);
    }
    return 0;
}

namespace
{

int *copiedims(int ndim, const int *dimx)
{
    int *copie = static_cast<int *>(malloc(sizeof(int) * static_cast<size_t>(ndim)));
    if (copie != nullptr)
        memcpy(copie, dimx, sizeof(int) * static_cast<size_t>(ndim));
    return copie;
}

} // namespace

DescTabx *desctabx(void *tab, int ndim, const int *dimx, void *donnees)
{
    if (ndim < 1) {
        zolerreur(ZOLSRC, "desctabx", nullptr, "dimension number error '%d'!\n", ndim);
        return nullptr;
    }
    DescTabx *desc = static_cast<DescTabx *>(calloc(1, sizeof(DescTabx)));
    if (desc != nullptr) {
        desc->tab = tab;
        desc->ndim = ndim;
        desc->dimx = copiedims(ndim, dimx);
        desc->dimw = copiedims(ndim, dimx);
        desc->donnees = donnees;
    }
    if (desc == nullptr || desc->dimx == nullptr || desc->dimw == nullptr) {
        deletedesctabx(desc);
        zolerreur(ZOLSRC, "desctabx", nullptr, "memory allocation error!\n");
    }
    return desc;
}

void deletedesctabx(DescTabx *&desc)
{
    if (desc != nullptr) {
        free(desc->dimx);
        free(desc->dimw);
        free(desc);
    }
    desc = nullptr;
}

// ---- Array registry --------------------------------------------------------

namespace
{

struct Inscription {
    int ndim;
    const int *dimx; // the caller's list
    int *copie;      // ours
    const void *tab;
};

const int PAS_REGISTRE = 64;
Inscription *registre = nullptr;
int inscrits = 0;
int capacite = 0;

} // namespace

int inscrittab(int ndim, const int *dimx, const void *tab)
{
    if (ndim < 1) {
        zolerreur(ZOLSRC, "inscrittab", nullptr, "dimension number error '%d'!\n", ndim);
        return -1;
    }
    int *copie = copiedims(ndim, dimx);
    if (copie != nullptr && inscrits == capacite) {
        size_t octets = sizeof(Inscription) * static_cast<size_t>(capacite + PAS_REGISTRE);
        Inscription *plus = static_cast<Inscription *>(realloc(registre, octets));
        if (plus == nullptr) {
            free(copie);
            copie = nullptr;
        } else {
            registre = plus;
            capacite += PAS_REGISTRE;
        }
    }
    if (copie == nullptr) {
        zolerreur(ZOLSRC, "inscrittab", nullptr, "memory allocation error!\n");
        return -1;
    }
    registre[inscrits++] = Inscription{ndim, dimx, copie, tab};
    return 0;
}

int cherchetab(const void *tab)
{
    int i = 0;
    while (i < inscrits && registre[i].tab != tab)
        ++i;
    return i;
}

int retiretab(int indice)
{
    if (indice < 0 || indice >= inscrits)
        return -1;
    free(registre[indice].copie);
    memmove(registre + indice, registre + indice + 1,
            sizeof(Inscription) * static_cast<size_t>(inscrits - indice - 1));
    // An emptied registry gives its list back, so that nothing stays
    // allocated once every array has left it.
    if (--inscrits == 0) {
        free(registre);
        registre = nullptr;
        capacite = 0;
    }
    return 0;
}
