// SPDX-License-Identifier: GPL-3.0-or-later
#include "zolcomb.h"

#include <cmath>
#include <cstdlib>
#include <new>

#include "zolconf.h"
#include "zolmathr.h"
#include "zoltabr.h"

static const char ZOLSRC[] = "../src/zolcomb.cpp";

double *bell(int n)
{
    if (n < 0) {
        zolerreur(ZOLSRC, "bell", nullptr, "invalid number of element!\n");
        return nullptr;
    }
    double *b = new (std::nothrow) double[static_cast<size_t>(n) + 1];
    if (b == nullptr) {
        zolerreur(ZOLSRC, "bell", nullptr, "memory allocation error!\n");
        return nullptr;
    }
    b[0] = 1.0;
    for (int a = 0; a < n; ++a) {
        double s = 0.0;
        for (int i = 0; i <= a; ++i)
            s = binomial(a, i) * b[i] + s;
        b[a + 1] = s;
    }
    return b;
}

int nextcombination(int n, int k, int *p)
{
    if (k < 1)
        return 0;
    if (n <= 0) {
        // One below the first subset, so that the first advance gives 1..k.
        for (int i = 0; i < k - 1; ++i)
            p[i] = i + 1;
        p[k - 1] = k - 1;
        return 0;
    }
    if (p[k - 1] <= n - 1) {
        ++p[k - 1];
        return 1;
    }
    for (int i = k - 2; i >= 0; --i) {
        if (p[i] <= n - k + i) {
            ++p[i];
            for (int j = i + 1; j < k; ++j)
                p[j] = p[i] + (j - i);
            return 1;
        }
    }
    return 0;
}

void initcounter(int n, int *c)
{
    if (n < 1)
        return;
    for (int i = 0; i < n - 1; ++i)
        c[i] = 1;
    c[n - 1] = 0;
}

int nextcounter(int n, const int *lim, int *c)
{
    if (n < 1)
        return 0;
    // Comparing before adding keeps a limit of INT_MAX from overflowing and
    // makes a limit below 1 end the walk.
    int i = n - 1;
    if (c[i] < lim[i]) {
        ++c[i];
        return 1;
    }
    // Carry: every position that overflowed goes back to 1, unless the
    // counter is past its last tuple, which is left in c.
    for (;;) {
        c[i] = lim[i];
        if (i == 0)
            return 0;
        if (c[i - 1] < lim[i - 1]) {
            ++c[i - 1];
            break;
        }
        --i;
    }
    for (int j = i; j < n; ++j)
        c[j] = 1;
    return 1;
}

static void liberelist(int **liste, int count)
{
    for (int i = 0; i < count; ++i)
        free(liste[i]);
    free(liste);
}

// Appends one record reference; -1 when the list cannot grow.
static int ajouteref(void *&base, void *&dernier, void *&place, int *ref)
{
    return ajoutetabx(sizeof ref, base, dernier, place, &ref);
}

int **pairinglist(int m, const int *elems, int &count)
{
    count = 0;
    if (m < 2)
        return nullptr;
    void *base = nullptr, *dernier = nullptr, *place = nullptr;
    int *reste = static_cast<int *>(malloc(sizeof(int) * static_cast<size_t>(m - 2) + 1));
    bool echec = reste == nullptr;
    bool echecsous = false;
    for (int i = 1; i < m && !echec; ++i) {
        int *rec = static_cast<int *>(malloc(3 * sizeof(int)));
        if (rec == nullptr || ajouteref(base, dernier, place, rec) < 0) {
            free(rec);
            echec = true;
            break;
        }
        rec[0] = elems[0];
        rec[1] = elems[i];
        rec[2] = m / 2;
        ++count;
        int r = 0;
        for (int j = 1; j < m; ++j)
            if (j != i)
                reste[r++] = elems[j];
        int nsous = 0;
        int **sous = pairinglist(m - 2, reste, nsous);
        if (sous == nullptr && m - 2 >= 2) {
            echec = echecsous = true;
            break;
        }
        // The sub-list's records move into this list one by one; those not
        // moved when the list cannot grow are released with it.
        for (int j = 0; j < nsous; ++j) {
            if (echec || ajouteref(base, dernier, place, sous[j]) < 0) {
                echec = true;
                free(sous[j]);
                continue;
            }
            ++count;
        }
        free(sous);
    }
    free(reste);
    if (echec) {
        if (echecsous)
            zolerreur(ZOLSRC, "pairinglist", nullptr, "%s() error!\n", "pairinglist");
        else
            zolerreur(ZOLSRC, "pairinglist", nullptr, "memory allocation error!\n");
        liberelist(static_cast<int **>(base), count);
        count = 0;
        return nullptr;
    }
    return static_cast<int **>(base);
}

static void liberetable(int ***table, int nlignes, int npaires)
{
    for (int r = 0; r < nlignes; ++r) {
        if (table[r] == nullptr)
            continue;
        for (int j = 0; j < npaires; ++j)
            free(table[r][j]);
        free(table[r]);
    }
    free(table);
}

// A table of nlignes rows of npaires zero-filled pairs; null when memory
// runs out, with everything already allocated released.
static int ***alloutable(int nlignes, int npaires)
{
    int ***table = static_cast<int ***>(calloc(static_cast<size_t>(nlignes) + 1, sizeof(int **)));
    if (table == nullptr)
        return nullptr;
    for (int r = 0; r < nlignes; ++r) {
        table[r] = static_cast<int **>(calloc(static_cast<size_t>(npaires) + 1, sizeof(int *)));
        bool ok = table[r] != nullptr;
        for (int j = 0; j < npaires && ok; ++j)
            ok = (table[r][j] = static_cast<int *>(calloc(2, sizeof(int)))) != nullptr;
        if (!ok) {
            liberetable(table, r + 1, npaires);
            return nullptr;
        }
    }
    return table;
}

// Beyond 21 elements (n-1)!! exceeds an int.
static const int NMAXPAIRTITION = 20;

int ***pairtition(int n, int &npairings, int &npairs)
{
    npairings = 0;
    npairs = 0;
    if (n % 2 != 0) {
        zolerreur(ZOLSRC, "pairtition", nullptr, "number of elements is odd!\n");
        return nullptr;
    }
    if (n < 0) {
        zolerreur(ZOLSRC, "pairtition", nullptr, "invalid number of elements n<0!\n");
        return nullptr;
    }
    if (n > NMAXPAIRTITION) {
        zolerreur(ZOLSRC, "pairtition", nullptr, "too many elements n>=22!\n");
        return nullptr;
    }
    const int np = n / 2;
    const int nlignes =
        static_cast<int>(std::round(factorielle(n) / (std::pow(2.0, np) * factorielle(np))));

    int elems[NMAXPAIRTITION];
    for (int i = 0; i < n; ++i)
        elems[i] = i + 1;
    int nrec = 0;
    int **liste = pairinglist(n, elems, nrec);
    if (liste == nullptr && n >= 2) {
        zolerreur(ZOLSRC, "pairtition", nullptr, "%s() error!\n", "pairinglist");
        return nullptr;
    }
    int ***table = alloutable(nlignes, np);
    if (table == nullptr) {
        liberelist(liste, nrec);
        zolerreur(ZOLSRC, "pairtition", nullptr, "memory allocation error!\n");
        return nullptr;
    }

    // Each record fills the pair of its depth; a record of level 1 completes
    // a pairing, made of the pairs last written at every depth.
    int travail[NMAXPAIRTITION / 2][2];
    int trouve = 0;
    for (int r = 0; r < nrec; ++r) {
        const int *rec = liste[r];
        const int slot = np - rec[2];
        travail[slot][0] = rec[0];
        travail[slot][1] = rec[1];
        if (slot != np - 1)
            continue;
        if (trouve < nlignes)
            for (int j = 0; j < np; ++j) {
                table[trouve][j][0] = travail[j][0];
                table[trouve][j][1] = travail[j][1];
            }
        ++trouve;
    }
    if (trouve != nlignes)
        zolerreur(ZOLSRC, "pairtition", nullptr, "invalid number of partitions!\n");
    liberelist(liste, nrec);
    npairings = nlignes;
    npairs = np;
    return table;
}
