// SPDX-License-Identifier: GPL-3.0-or-later
#include "zolshp.h"

#include "zolconf.h"
#include "zolplat.h"
#include "zoltabr.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>

static const char ZOLSRC[] = "../src/zolshp.cpp";

// The little-endian fields are taken as they are, and whole arrays of them
// are read straight into memory: that needs a little-endian host.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "zolshp reads for little-endian hosts");

int inverse_octets(int n, const void *source, void *destination)
{
    const unsigned char *s = static_cast<const unsigned char *>(source);
    unsigned char *d = static_cast<unsigned char *>(destination);
    for (int i = 0, j = n - 1; i <= j; ++i, --j) {
        unsigned char a = s[i], b = s[j]; // both read first: s may be d
        d[i] = b;
        d[j] = a;
    }
    return 0;
}

int copie_octets(int n, const void *source, void *destination)
{
    if (source != destination && n > 0)
        memcpy(destination, source, static_cast<size_t>(n));
    return 0;
}

static int32_t entier_gros(const unsigned char *octets)
{
    int32_t v;
    inverse_octets(4, octets, &v);
    return v;
}

static int32_t entier_petit(const unsigned char *octets)
{
    int32_t v;
    copie_octets(4, octets, &v);
    return v;
}

static bool type_lu(int32_t type)
{
    return type == 3 || type == 5;
}

namespace {

// One untyped growable array of zoltabr.
struct Tableau {
    void *base = nullptr;
    void *dernier = nullptr;
    void *derniere_place = nullptr;

    int ajoute(size_t taille, const void *valeur)
    {
        return ajoutetabx(taille, base, dernier, derniere_place, valeur);
    }
};

// One record being read. Its parts and points go into one block: the X
// views, the Y views, the X, the Y, then the point counts, so that a record
// costs one allocation. The block is released by the destructor unless
// handed over to the result.
struct Enregistrement {
    int32_t type = 0;
    int32_t partn = 0;
    int32_t pointn_total = 0;
    void *bloc = nullptr;
    double **xs = nullptr, **ys = nullptr; // views into the block
    int *pointn = nullptr;

    ~Enregistrement() { operator delete[](bloc); }
};

// State of one reading: the stream, where it stands, and the growing result.
struct Lecture {
    FILE *f;
    long long restant; // bytes between the current position and the end
    int numero;        // 1-based place in the file of the record being read
    Tableau partn, pointn, x, y, shptype;
    int stockes;
    unsigned char *tampon; // one record's part starts and points, reused
    size_t tampon_n;

    size_t lit(void *dest, size_t n)
    {
#if defined(__GLIBC__)
        // The stream is this reading's alone: no lock per call.
        size_t lu = fread_unlocked(dest, 1, n, f);
#else
        size_t lu = fread(dest, 1, n, f);
#endif
        restant -= static_cast<long long>(lu);
        return lu;
    }

    void libere();
};

enum class Suite { encore, fin, echec };

} // namespace

// Releases the blocks of the first n records (each begins with x[r]).
static void libere_enregistrements(double ***x, int n)
{
    for (int r = 0; r < n; ++r)
        operator delete[](x[r]);
}

void Lecture::libere()
{
    libere_enregistrements(static_cast<double ***>(x.base), stockes);
    for (Tableau *t : {&partn, &pointn, &x, &y, &shptype})
        free(t->base);
    free(tampon);
}

static Suite manque_memoire(const Lecture &l, const Enregistrement &e)
{
    zolerreur(ZOLSRC, "fscan_shp", nullptr,
              "not enough memory for record %d (%d parts, %d points)!\n", l.numero, e.partn,
              e.pointn_total);
    return Suite::echec;
}

static Suite tronque(const Lecture &l)
{
    zolavis(ZOLSRC, "fscan_shp", nullptr,
            "record %d cut short by the end of the file: dropped, reading stops!\n", l.numero);
    return Suite::fin;
}

// Part starts must rise (equal starts make an empty part) from 0 or more up
// to NumPoints at most, or the point counts would be negative.
static Suite verifie_parts(const Lecture &l, const Enregistrement &e, const int32_t *debuts)
{
    for (int p = 0; p < e.partn; ++p) {
        int d = debuts[p];
        if (d < 0 || d > e.pointn_total || (p > 0 && d < debuts[p - 1])) {
            zolerreur(ZOLSRC, "fscan_shp", nullptr,
                      "record %d: invalid start %d of part %d (NumParts=%d, NumPoints=%d)!\n",
                      l.numero, d, p, e.partn, e.pointn_total);
            return Suite::echec;
        }
    }
    return Suite::encore;
}

// Fills the record's block from its part starts and interleaved points.
static Suite range(const Lecture &l, Enregistrement &e, const int32_t *debuts,
                   const unsigned char *points)
{
    const size_t np = static_cast<size_t>(e.partn);
    const int premier = debuts[0];
    const size_t gardes = static_cast<size_t>(e.pointn_total - premier);
    e.bloc = operator new[]((2 * np + 2 * gardes) * 8 + np * sizeof(int), std::nothrow);
    if (e.bloc == nullptr)
        return manque_memoire(l, e);
    double **xs = static_cast<double **>(e.bloc), **ys = xs + np;
    double *xb = reinterpret_cast<double *>(ys + np), *yb = xb + gardes;
    int *pointn = reinterpret_cast<int *>(yb + gardes);
    e.xs = xs;
    e.ys = ys;
    e.pointn = pointn;

    const unsigned char *s = points + 16 * static_cast<size_t>(premier);
    for (size_t k = 0; k < gardes; ++k) {
        memcpy(xb + k, s + 16 * k, 8);
        memcpy(yb + k, s + 16 * k + 8, 8);
    }
    for (size_t p = 0; p < np; ++p) {
        pointn[p] = (p + 1 < np ? debuts[p + 1] : e.pointn_total) - debuts[p];
        const size_t decalage = static_cast<size_t>(debuts[p] - premier);
        xs[p] = gardes ? xb + decalage : nullptr;
        ys[p] = gardes ? yb + decalage : nullptr;
    }
    return Suite::encore;
}

// Appends the record to the five arrays; on failure the arrays keep the
// records stored before, and the record stays with its reader.
static Suite stocke(Lecture &l, Enregistrement &e)
{
    if (l.partn.ajoute(sizeof(int), &e.partn) != 0 ||
        l.shptype.ajoute(sizeof(int), &e.type) != 0 ||
        l.pointn.ajoute(sizeof(int *), &e.pointn) != 0 ||
        l.x.ajoute(sizeof(double **), &e.xs) != 0 || l.y.ajoute(sizeof(double **), &e.ys) != 0)
        return manque_memoire(l, e);
    // The arrays may now be one element longer than the count; the count is
    // what tells the stored records, and it moves only here.
    ++l.stockes;
    e.bloc = nullptr;
    return Suite::encore;
}

// Reads one record from its record number on, with two reads: the 52-byte
// head, then the part starts and the points together. Nothing is allocated
// before they are known to fit in the rest of the file.
static Suite lit_enregistrement(Lecture &l)
{
    unsigned char tete[52];
    const size_t lu = l.lit(tete, sizeof tete);
    // Fewer than 4 bytes where a record number should be: the end of the
    // file, perhaps after a little padding.
    if (lu < 4)
        return Suite::fin;
    ++l.numero;
    Enregistrement e;
    if (lu >= 12) {
        e.type = entier_petit(tete + 8);
        if (!type_lu(e.type)) {
            zolerreur(ZOLSRC, "fscan_shp", nullptr, "invalid record shape type '%d'\n", e.type);
            return Suite::echec;
        }
    }
    if (lu < sizeof tete)
        return tronque(l);
    e.partn = entier_petit(tete + 44);
    e.pointn_total = entier_petit(tete + 48);
    if (e.partn <= 0)
        return Suite::encore;
    if (e.pointn_total < 0) {
        zolerreur(ZOLSRC, "fscan_shp", nullptr, "record %d: invalid NumPoints=%d!\n", l.numero,
                  e.pointn_total);
        return Suite::echec;
    }
    const long long corps = 4LL * e.partn + 16LL * e.pointn_total;
    if (corps > l.restant)
        return tronque(l);

    const size_t octets = static_cast<size_t>(corps);
    if (octets > l.tampon_n) {
        void *t = realloc(l.tampon, octets);
        if (t == nullptr)
            return manque_memoire(l, e);
        l.tampon = static_cast<unsigned char *>(t);
        l.tampon_n = octets;
    }
    if (l.lit(l.tampon, octets) != octets)
        return tronque(l);
    // The starts are at the head of a malloc block: aligned for int32_t.
    const int32_t *debuts = reinterpret_cast<const int32_t *>(l.tampon);
    if (verifie_parts(l, e, debuts) == Suite::echec)
        return Suite::echec;
    Suite s = range(l, e, debuts, l.tampon + 4 * static_cast<size_t>(e.partn));
    if (s != Suite::encore)
        return s;
    return stocke(l, e);
}

// Reads the 100-byte header; returns false after the report.
static bool lit_entete(Lecture &l)
{
    unsigned char h[100] = {0};
    size_t lu = fread(h, 1, sizeof h, l.f);
    int32_t code = entier_gros(h);
    if (code != 9994) {
        zolerreur(ZOLSRC, "fscan_shp", nullptr, "invalid big File code=0x%x!\n",
                  static_cast<unsigned>(code));
        return false;
    }
    if (lu < sizeof h) {
        zolerreur(ZOLSRC, "fscan_shp", nullptr,
                  "incomplete file header: %zu bytes instead of 100!\n", lu);
        return false;
    }
    int32_t type = entier_petit(h + 32);
    if (!type_lu(type)) {
        zolerreur(ZOLSRC, "fscan_shp", nullptr, "invalid file shape type '%d'!\n", type);
        return false;
    }
    return true;
}

// Bytes from the current position to the end of the stream, or -1.
static long long taille_restante(FILE *f)
{
    long ici = ftell(f);
    if (ici < 0 || fseek(f, 0, SEEK_END) != 0)
        return -1;
    long fin = ftell(f);
    if (fin < 0 || fseek(f, ici, SEEK_SET) != 0)
        return -1;
    return static_cast<long long>(fin) - ici;
}

ShpData *fscan_shp_flux(FILE *f, const char *path, int &count)
{
    count = 0;
    Lecture l{f, 0, 0, {}, {}, {}, {}, {}, 0, nullptr, 0};
    if (!lit_entete(l))
        return nullptr;
    l.restant = taille_restante(f);
    if (l.restant < 0) {
        zolerreur(ZOLSRC, "fscan_shp", nullptr, "impossible to get the size of shp file '%s'!\n",
                  path);
        return nullptr;
    }

    Suite s;
    do {
        s = lit_enregistrement(l);
        count = l.stockes;
    } while (s == Suite::encore);

    ShpData *d = s == Suite::fin ? new (std::nothrow) ShpData : nullptr;
    if (d == nullptr) {
        if (s == Suite::fin)
            zolerreur(ZOLSRC, "fscan_shp", nullptr, "not enough memory for the result!\n");
        l.libere();
        return nullptr;
    }
    free(l.tampon);
    d->partn = static_cast<int *>(l.partn.base);
    d->pointn = static_cast<int **>(l.pointn.base);
    d->x = static_cast<double ***>(l.x.base);
    d->y = static_cast<double ***>(l.y.base);
    d->shptype = static_cast<int *>(l.shptype.base);
    return d;
}

ShpData *fscan_shp(const char *path, int &count)
{
    count = 0;
    // Read-only: a viewer must show files it may not write, and never open
    // a user's data for writing. Only a regular file is opened, so that a
    // FIFO or a device chosen by mistake cannot hang the viewer.
    FILE *f = zolplat_ouvre(path);
    if (f == nullptr) {
        zolerreur(ZOLSRC, "fscan_shp", nullptr, "impossible to open shp file '%s'!\n", path);
        return nullptr;
    }
    // Records are read with a few small reads each: a large buffer keeps
    // them memory copies.
    setvbuf(f, nullptr, _IOFBF, 1 << 20);
    ShpData *d = fscan_shp_flux(f, path, count);
    fclose(f);
    return d;
}

int deleteshp_rcd(ShpData *data, int count, int r)
{
    if (data == nullptr || r < 0 || r >= count)
        return -1;
    operator delete[](data->x[r]);
    data->x[r] = data->y[r] = nullptr;
    data->pointn[r] = nullptr;
    return 0;
}

int deleteshp(ShpData *&data, int count)
{
    if (data == nullptr)
        return 0;
    libere_enregistrements(data->x, count);
    free(data->partn);
    free(data->pointn);
    free(data->x);
    free(data->y);
    free(data->shptype);
    delete data;
    data = nullptr;
    return 0;
}
