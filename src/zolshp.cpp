// SPDX-License-Identifier: GPL-3.0-or-later
#include "zolshp.h"

#include "zolconf.h"
#include "zolplat.h"

#include <algorithm>
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

namespace
{

// One growable array of the result, in a mapping of its own: a million
// records' arrays grow by moving pages, never by copying them, and the
// heap allocator is left as it was. It grows by its size, a page at least
// and a megabyte at most at a time.
struct Tableau {
    void *base = nullptr;
    size_t octets = 0, place = 0; // bytes used, bytes held

    int ajoute(size_t taille, const void *valeur)
    {
        if (place - octets < taille) {
            const size_t pas = std::min(std::max(place, PAS_MIN), PAS_MAX);
            void *plus = zolplat_bloc_etend(base, place + pas);
            if (plus == nullptr)
                return -1;
            base = plus;
            place += pas;
        }
        memcpy(static_cast<char *>(base) + octets, valeur, taille);
        octets += taille;
        return 0;
    }

    static constexpr size_t PAS_MIN = 4096, PAS_MAX = size_t(1) << 20;
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
    double *xb = nullptr, *yb = nullptr;   // its X and its Y
    size_t gardes = 0;                     // points kept
    int *pointn = nullptr;

    ~Enregistrement() { operator delete[](bloc); }
};

// State of one reading: the stream, where it stands, and the growing result.
struct Lecture {
    FILE *f;
    long long taille;  // the file's, measured once on the stream
    long long restant; // bytes between the current position and the end
    int numero;        // 1-based place in the file of the record being read
    Tableau partn, pointn, x, y, shptype;
    int stockes;
    const ShpSuivi *suivi;
    bool tronquee = false; // a record cut short ended the reading

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
        zolplat_bloc_libere(t->base);
}

static Suite manque_memoire(const Lecture &l, const Enregistrement &e)
{
    zolerreur(ZOLSRC, "fscan_shp", nullptr,
              "not enough memory for record %d (%d parts, %d points)!\n", l.numero, e.partn,
              e.pointn_total);
    return Suite::echec;
}

static Suite tronque(Lecture &l)
{
    l.tronquee = true;
    zolavis(ZOLSRC, "fscan_shp", nullptr,
            "record %d cut short by the end of the file: dropped, reading stops!\n", l.numero);
    return Suite::fin;
}

// Part starts must rise (equal starts make an empty part) from 0 or more up
// to NumPoints at most, or the point counts would be negative.
static Suite verifie_parts(const Lecture &l, const Enregistrement &e, const int32_t *debuts, int n)
{
    for (int p = 0; p < n; ++p) {
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

// A block this big is fresh memory as often as not (the heap allocator
// maps it on its own), whose pages would come one fault at a time.
static const size_t BLOC_PEUPLE = size_t(64) << 10;

// Allocates the record's block for its parts and the points from its first
// part's start on.
static Suite alloue(const Lecture &l, Enregistrement &e, int32_t premier)
{
    const size_t np = static_cast<size_t>(e.partn);
    e.gardes = static_cast<size_t>(e.pointn_total - premier);
    const size_t octets = (2 * np + 2 * e.gardes) * 8 + np * sizeof(int);
    e.bloc = operator new[](octets, std::nothrow);
    if (e.bloc == nullptr)
        return manque_memoire(l, e);
    if (octets >= BLOC_PEUPLE)
        zolplat_peuple(e.bloc, octets);
    e.xs = static_cast<double **>(e.bloc);
    e.ys = e.xs + np;
    e.xb = reinterpret_cast<double *>(e.ys + np);
    e.yb = e.xb + e.gardes;
    e.pointn = reinterpret_cast<int *>(e.yb + e.gardes);
    return Suite::encore;
}

// Turns the part starts held in e.pointn into point counts, in place, and
// points each part's views at its first point.
static void decoupe(Enregistrement &e, int32_t premier)
{
    for (int p = 0; p < e.partn; ++p) {
        const int d = e.pointn[p];
        e.pointn[p] = (p + 1 < e.partn ? e.pointn[p + 1] : e.pointn_total) - d;
        e.xs[p] = e.gardes ? e.xb + (d - premier) : nullptr;
        e.ys[p] = e.gardes ? e.yb + (d - premier) : nullptr;
    }
}

// Spreads the m interleaved points at `source` to the record's X and Y from
// its kept point k on, bit for bit. The source may lie in the Y array from
// point k on: each point is read before its Y is written, at or below the
// place it was read from.
static void etale(Enregistrement &e, size_t k, const unsigned char *source, size_t m)
{
    for (size_t i = 0; i < m; ++i) {
        double x, y;
        memcpy(&x, source + 16 * i, 8);
        memcpy(&y, source + 16 * i + 8, 8);
        memcpy(e.xb + k + i, &x, 8);
        memcpy(e.yb + k + i, &y, 8);
    }
}

// Points of a record held at once by the buffer of lit_corps.
static const size_t POINTS_TAMPON = 512;

// A record that fits in the buffer, as most do: read at once, checked, then
// placed.
static Suite lit_petit(Lecture &l, Enregistrement &e, unsigned char *tampon, size_t corps)
{
    if (l.lit(tampon, corps) != corps)
        return tronque(l);
    const int32_t *debuts = reinterpret_cast<const int32_t *>(tampon);
    if (verifie_parts(l, e, debuts, e.partn) == Suite::echec ||
        alloue(l, e, debuts[0]) == Suite::echec)
        return Suite::echec;
    const size_t np = static_cast<size_t>(e.partn);
    memcpy(e.pointn, debuts, 4 * np);
    decoupe(e, debuts[0]);
    etale(e, 0, tampon + 4 * np + 16 * static_cast<size_t>(debuts[0]), e.gardes);
    return Suite::encore;
}

// The points of a larger record, its part starts read. Those before the
// first part's start go through the buffer and are not kept; most others
// are read as stored into the unfilled end of the Y array, half of its room
// at a time, and spread from there; the last few go through the buffer.
static Suite lit_points(Lecture &l, Enregistrement &e, unsigned char *tampon, size_t premier)
{
    for (size_t k = 0; k < premier;) {
        const size_t m = std::min(premier - k, POINTS_TAMPON);
        if (l.lit(tampon, 16 * m) != 16 * m)
            return tronque(l);
        k += m;
    }
    for (size_t k = 0; k < e.gardes;) {
        const size_t reste = e.gardes - k;
        const bool sur_place = reste >= 2 * POINTS_TAMPON;
        const size_t m = sur_place ? reste / 2 : std::min(reste, POINTS_TAMPON);
        unsigned char *lu = sur_place ? reinterpret_cast<unsigned char *>(e.yb + k) : tampon;
        if (l.lit(lu, 16 * m) != 16 * m)
            return tronque(l);
        etale(e, k, lu, m);
        k += m;
    }
    return Suite::encore;
}

// A record larger than the buffer: its first start, which tells how many
// points are kept, then the other starts straight into its block, where
// they become the point counts, then its points. No copy of it is made:
// it costs no more than its result.
static Suite lit_grand(Lecture &l, Enregistrement &e, unsigned char *tampon)
{
    int32_t premier;
    if (l.lit(&premier, 4) != 4)
        return tronque(l);
    if (verifie_parts(l, e, &premier, 1) == Suite::echec || alloue(l, e, premier) == Suite::echec)
        return Suite::echec;
    e.pointn[0] = premier;
    const size_t suite = 4 * (static_cast<size_t>(e.partn) - 1);
    if (l.lit(e.pointn + 1, suite) != suite)
        return tronque(l);
    if (verifie_parts(l, e, e.pointn, e.partn) == Suite::echec)
        return Suite::echec;
    decoupe(e, premier);
    return lit_points(l, e, tampon, static_cast<size_t>(premier));
}

// Shows the record just stored to the follower, and releases its block if
// the follower is done with it.
static void suit(Lecture &l, const Enregistrement &e)
{
    const int r = l.stockes - 1;
    const ShpEnregistrement vu{r, e.type, e.partn, e.pointn, e.xs, e.ys, l.restant, l.taille};
    if (!(*l.suivi)(vu))
        return;
    operator delete[](e.xs);
    static_cast<double ***>(l.x.base)[r] = nullptr;
    static_cast<double ***>(l.y.base)[r] = nullptr;
    static_cast<int **>(l.pointn.base)[r] = nullptr;
}

// Appends the record to the five arrays; on failure the arrays keep the
// records stored before, and the record stays with its reader.
static Suite stocke(Lecture &l, Enregistrement &e)
{
    if (l.partn.ajoute(sizeof(int), &e.partn) != 0 || l.shptype.ajoute(sizeof(int), &e.type) != 0 ||
        l.pointn.ajoute(sizeof(int *), &e.pointn) != 0 ||
        l.x.ajoute(sizeof(double **), &e.xs) != 0 || l.y.ajoute(sizeof(double **), &e.ys) != 0)
        return manque_memoire(l, e);
    // The arrays may now be one element longer than the count; the count is
    // what tells the stored records, and it moves only here.
    ++l.stockes;
    e.bloc = nullptr;
    if (l.suivi && *l.suivi)
        suit(l, e);
    return Suite::encore;
}

// Reads the part starts and the points of a record whose head is read and
// whose counts fit in the rest of the file.
static Suite lit_corps(Lecture &l, Enregistrement &e)
{
    alignas(int32_t) unsigned char tampon[16 * POINTS_TAMPON];
    const size_t corps =
        4 * static_cast<size_t>(e.partn) + 16 * static_cast<size_t>(e.pointn_total);
    return corps <= sizeof tampon ? lit_petit(l, e, tampon, corps) : lit_grand(l, e, tampon);
}

// Reads one record from its record number on.
static Suite lit_enregistrement(Lecture &l)
{
    // Nothing past the size measured at the start is read: a file that
    // grows meanwhile (still being copied, or replaced) is read as it was
    // measured, and every count stays within what that size can hold.
    unsigned char tete[52];
    const size_t lu = l.restant < 4 ? 0 : l.lit(tete, size_t(std::min<long long>(52, l.restant)));
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
    // Nothing is allocated for counts that the rest of the file can't hold.
    if (4LL * e.partn + 16LL * e.pointn_total > l.restant)
        return tronque(l);
    Suite s = lit_corps(l, e);
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

ShpData *fscan_shp_flux(FILE *f, const char *path, int &count, const std::atomic<bool> *arret,
                        const ShpSuivi &suivi, bool *tronquee)
{
    count = 0;
    if (tronquee)
        *tronquee = false;
    Lecture l{f, 0, 0, 0, {}, {}, {}, {}, {}, 0, &suivi};
    if (!lit_entete(l))
        return nullptr;
    l.restant = taille_restante(f);
    if (l.restant < 0) {
        zolerreur(ZOLSRC, "fscan_shp", nullptr, "impossible to get the size of shp file '%s'!\n",
                  path);
        return nullptr;
    }
    l.taille = 100 + l.restant;

    Suite s;
    do {
        if (arret && arret->load(std::memory_order_relaxed)) {
            l.libere();
            return nullptr;
        }
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
    d->partn = static_cast<int *>(l.partn.base);
    d->pointn = static_cast<int **>(l.pointn.base);
    d->x = static_cast<double ***>(l.x.base);
    d->y = static_cast<double ***>(l.y.base);
    d->shptype = static_cast<int *>(l.shptype.base);
    if (tronquee)
        *tronquee = l.tronquee;
    return d;
}

ShpData *fscan_shp(const char *path, int &count, const std::atomic<bool> *arret,
                   const ShpSuivi &suivi, bool *tronquee)
{
    count = 0;
    if (tronquee)
        *tronquee = false;
    // Read-only: a viewer must show files it may not write, and never open
    // a user's data for writing. Only a regular file is opened, so that a
    // FIFO or a device chosen by mistake cannot hang the viewer.
    FILE *f = zolplat_ouvre(path);
    if (f == nullptr) {
        zolerreur(ZOLSRC, "fscan_shp", nullptr, "impossible to open shp file '%s'!\n", path);
        return nullptr;
    }
    ShpData *d = fscan_shp_flux(f, path, count, arret, suivi, tronquee);
    fclose(f);
    return d;
}

bool boite_shp(const char *path, double &xmin, double &ymin, double &xmax, double &ymax,
               long long &taille)
{
    FILE *f = zolplat_ouvre(path);
    if (f == nullptr)
        return false;
    unsigned char h[100];
    const bool lu = fread(h, 1, sizeof h, f) == sizeof h && entier_gros(h) == 9994;
    taille = lu ? taille_restante(f) + 100 : -1;
    fclose(f);
    if (!lu || taille < 100)
        return false;
    double *cotes[] = {&xmin, &ymin, &xmax, &ymax};
    for (int k = 0; k < 4; ++k)
        std::memcpy(cotes[k], h + 36 + 8 * k, sizeof(double));
    return true;
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
    zolplat_bloc_libere(data->partn);
    zolplat_bloc_libere(data->pointn);
    zolplat_bloc_libere(data->x);
    zolplat_bloc_libere(data->y);
    zolplat_bloc_libere(data->shptype);
    delete data;
    data = nullptr;
    return 0;
}
