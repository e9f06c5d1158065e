// SPDX-License-Identifier: GPL-3.0-or-later
#include "zolconf.h"

#include <atomic>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

static const char ZOLSRC[] = "../src/zolconf.cpp";

static std::atomic<int> profondeur{0};
static std::atomic<bool> sourdine{false};
static std::atomic<long> signalements{0};

static void indente(FILE *flux)
{
    for (int i = 0; i < profondeur; ++i)
        fputs("  ", flux);
}

// Indentation, "[<source.fonction>] " (or with the qualifier), the message,
// then a flush: the body of both zolerreur and zolavis.
static void signale(FILE *flux, const char *source, const char *fonction, const char *qualif,
                    const char *format, va_list va)
{
    flockfile(flux);
    indente(flux);
    if (qualif == nullptr)
        fprintf(flux, "[<%s.%s>] ", source, fonction);
    else
        fprintf(flux, "[<%s.%s(\"%s\")>] ", source, fonction, qualif);
    vfprintf(flux, format, va);
    fflush(flux);
    funlockfile(flux);
    ++signalements;
}

void zolerreur(const char *source, const char *fonction, const char *qualif, const char *format,
               ...)
{
    va_list va;
    va_start(va, format);
    signale(stderr, source, fonction, qualif, format, va);
    va_end(va);
}

void zolavis(const char *source, const char *fonction, const char *qualif, const char *format, ...)
{
    va_list va;
    va_start(va, format);
    signale(stdout, source, fonction, qualif, format, va);
    va_end(va);
}

static void trace(char sens, const char *source, const char *fonction, const char *qualif)
{
    if (sourdine)
        return;
    flockfile(stdout);
    indente(stdout);
    if (qualif == nullptr)
        fprintf(stdout, "[%c%s.%s]\n", sens, source, fonction);
    else
        fprintf(stdout, "[%c%s.%s(\"%s\")]\n", sens, source, fonction, qualif);
    fflush(stdout);
    funlockfile(stdout);
}

void zolentree(const char *source, const char *fonction, const char *qualif)
{
    // The entry line stands at the caller's depth; what follows is one deeper.
    trace('>', source, fonction, qualif);
    ++profondeur;
}

void zolsortie(const char *source, const char *fonction, const char *qualif)
{
    --profondeur;
    trace('<', source, fonction, qualif);
}

void zolmessage(const char *format, ...)
{
    if (sourdine)
        return;
    flockfile(stdout);
    indente(stdout);
    va_list va;
    va_start(va, format);
    vfprintf(stdout, format, va);
    va_end(va);
    fflush(stdout);
    funlockfile(stdout);
}

void zolmessages(const char *texte, size_t n)
{
    if (sourdine)
        return;
    flockfile(stdout);
    for (size_t debut = 0; debut < n;) {
        const void *fin = std::memchr(texte + debut, '\n', n - debut);
        const size_t ligne =
            fin ? size_t(static_cast<const char *>(fin) - (texte + debut)) + 1 : n - debut;
        indente(stdout);
        fwrite(texte + debut, 1, ligne, stdout);
        debut += ligne;
    }
    fflush(stdout);
    funlockfile(stdout);
}

bool zolmuet()
{
    return sourdine;
}

int zolprofondeur()
{
    return profondeur;
}

void zolsourdine(bool muet)
{
    sourdine = muet;
}

long zolsignalements()
{
    return signalements;
}

// ---- Build stamps -------------------------------------------------------

char *zolcopie(const char *texte)
{
    size_t n = strlen(texte) + 1;
    char *copie = new char[n];
    memcpy(copie, texte, n);
    return copie;
}

int zoldatecompil(const char *date, const char *heure, struct tm *tm, const char *source,
                  const char *fonction)
{
    static const char *const mois[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    // Room for three letters, the terminator and one more byte, so that a
    // four-letter word is read whole and then matches no month.
    char mot[5] = {0};
    int jour = 0, annee = 0;
    if (sscanf(date, "%4s %d %d", mot, &jour, &annee) < 1)
        mot[0] = '\0';
    for (char &c : mot)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));

    int m = 0;
    while (m < 12 && strcmp(mot, mois[m]) != 0)
        ++m;
    if (m == 12) {
        zolerreur(source, fonction, nullptr, "month identifier '%s' is unknown!\n", mot);
        return -1;
    }

    int h = 0, mn = 0, s = 0;
    sscanf(heure, "%d %*c %d %*c %d", &h, &mn, &s);
    *tm = {};
    // A year too far in the past to be counted from 1900 in an int is held
    // at the lowest count; such a year does not fit the stamp anyway, which
    // then comes out empty, as for a year of more than four digits.
    tm->tm_year = annee < INT_MIN + 1900 ? INT_MIN : annee - 1900;
    tm->tm_mon = m;
    tm->tm_mday = jour;
    tm->tm_hour = h;
    tm->tm_min = mn;
    tm->tm_sec = s;
    return 0;
}

char *zolhorodatage(const char *date, const char *heure, int mode, bool dateseule,
                    const char *source, const char *fonction)
{
    struct tm tm;
    if (zoldatecompil(date, heure, &tm, source, fonction) < 0)
        return nullptr;

    const char *format = "%Y-%m-%d %H:%M:%S";
    size_t taille = 20;
    if (mode >= 1) {
        format = "%Y-%m-%d_%H-%M-%S";
    } else if (mode == -1 && dateseule) {
        format = "%Y-%m-%d";
        taille = 11;
    }
    char *tampon = new char[taille];
    if (strftime(tampon, taille, format, &tm) == 0)
        tampon[0] = '\0'; // a year of more than four digits does not fit
    tampon[taille - 1] = '\0';
    return tampon;
}

char *zoltemps(int mode)
{
    return zolhorodatage(__DATE__, __TIME__, mode, false, ZOLSRC, "zoltemps");
}

char *zolversion()
{
    return zolcopie("19.10");
}

#define ZOL_STR2(x) #x
#define ZOL_STR(x) ZOL_STR2(x)

char *zolgcc()
{
#if defined(__clang__)
    return zolcopie(
        ZOL_STR(__clang_major__) "." ZOL_STR(__clang_minor__) "." ZOL_STR(__clang_patchlevel__));
#elif defined(__GNUC__)
    return zolcopie(ZOL_STR(__GNUC__) "." ZOL_STR(__GNUC_MINOR__) "." ZOL_STR(__GNUC_PATCHLEVEL__));
#else
    return zolcopie("0.0.0");
#endif
}

char *zolplateforme()
{
#if defined(__clang__)
#define ZOL_COMPILO "c"
#elif defined(__GNUC__)
#define ZOL_COMPILO "g"
#else
#define ZOL_COMPILO "x"
#endif
#if defined(_WIN32)
#define ZOL_SYSTEME "win"
#elif defined(__linux__)
#define ZOL_SYSTEME "lin"
#elif defined(__APPLE__)
#define ZOL_SYSTEME "mac"
#elif defined(__FreeBSD__)
#define ZOL_SYSTEME "fbsd"
#else
#define ZOL_SYSTEME "unix"
#endif
#if UINTPTR_MAX > 0xFFFFFFFFu || defined(__LP64__) || defined(_WIN64)
#define ZOL_BITS "64"
#else
#define ZOL_BITS "32"
#endif
    return zolcopie(ZOL_COMPILO ZOL_SYSTEME ZOL_BITS);
}

// ---- Fixed values -------------------------------------------------------

double zoldeuxpi()
{
    return 6.283185307179586;
}
double zolcelerite()
{
    return 299792458.0;
}
double zolkboltz()
{
    return 1.3806504e-23;
}
double zolkboltzdb()
{
    return -228.599162769405;
}
double zolreq()
{
    return 6378137.0;
}
double zolrpol()
{
    return 6356752.3;
}
double zolrmoy()
{
    return 6371008.7714;
}
double zolmuterre()
{
    return 398600.4418;
}
double zolua()
{
    return 149597870700.0;
}
double zolt25()
{
    return 298.15;
}
double zolval2m24()
{
    return 5.960464477539063e-08;
}
double zolval35785700()
{
    return 35785700.0;
}
double zolval696265000()
{
    return 696265000.0;
}
double zolval333()
{
    return 333.0;
}

int zoltaille(int code)
{
    switch (code) {
    case 0:
        return 8;
    case 1:
        return 4;
    case 2:
        return 1;
    default:
        return 0;
    }
}

// ---- Data file paths and environment -----------------------------------

const char *zolrep()
{
    const char *rep = getenv("ZOL");
    if (rep == nullptr || rep[0] == '\0') {
        zolavis(ZOLSRC, "zolrep", nullptr, "warning, %s environment variable is not set!\n", "ZOL");
        return nullptr;
    }
    return rep;
}

char zolsep()
{
    return '/';
}

// "<rep>/dvr/<nom>[_<suffixe>].bin" in a new block (delete[]), null when
// memory runs out.
static char *chemindvr(const char *rep, const char *nom, const char *suffixe)
{
    // Two separators, "dvr", ".bin" and the NUL; "_" and the suffix.
    size_t taille = strlen(rep) + strlen(nom) + 10;
    if (suffixe != nullptr)
        taille += strlen(suffixe) + 1;
    char *chemin = new (std::nothrow) char[taille];
    if (chemin == nullptr)
        return nullptr;
    const char sep = zolsep();
    if (suffixe == nullptr)
        snprintf(chemin, taille, "%s%c%s%c%s%s", rep, sep, "dvr", sep, nom, ".bin");
    else
        snprintf(chemin, taille, "%s%c%s%c%s%c%s%s", rep, sep, "dvr", sep, nom, '_', suffixe,
                 ".bin");
    return chemin;
}

// Checks every (address, size, count) triple up to the closing nullptr
// before the file is touched, so that a bad list does not empty it.
static bool blocsvalides(va_list va)
{
    va_list vb;
    va_copy(vb, va);
    bool ok = true;
    while (ok && va_arg(vb, const void *) != nullptr) {
        int taille = va_arg(vb, int);
        int nombre = va_arg(vb, int);
        if (taille < 0 || nombre < 0) {
            zolerreur(ZOLSRC, "zolsauve", nullptr, "invalid block of %d elements of %d bytes!\n",
                      nombre, taille);
            ok = false;
        }
    }
    va_end(vb);
    return ok;
}

static bool ecritblocs(FILE *f, va_list va)
{
    const void *bloc;
    while ((bloc = va_arg(va, const void *)) != nullptr) {
        size_t taille = static_cast<size_t>(va_arg(va, int));
        size_t nombre = static_cast<size_t>(va_arg(va, int));
        if (taille > 0 && nombre > 0 && fwrite(bloc, taille, nombre, f) != nombre)
            return false;
    }
    return true;
}

int zolsauve(const char *nom, const char *suffixe, ...)
{
    const char *rep = zolrep();
    if (rep == nullptr) {
        zolerreur(ZOLSRC, "zolsauve", nullptr, "%s() error!\n", "zolrep");
        return -1;
    }
    va_list va;
    va_start(va, suffixe);
    bool valides = blocsvalides(va);
    char *chemin = valides ? chemindvr(rep, nom, suffixe) : nullptr;
    if (valides && chemin == nullptr)
        zolerreur(ZOLSRC, "zolsauve", nullptr, "memory allocation error!\n");
    FILE *f = chemin != nullptr ? fopen(chemin, "w+b") : nullptr;
    if (chemin != nullptr && f == nullptr)
        zolerreur(ZOLSRC, "zolsauve", nullptr, "impossible to open file '%s'\n", chemin);
    int r = -1;
    if (f != nullptr) {
        bool ecrit = ecritblocs(f, va);
        // A full disk often shows only when the buffer goes out at fclose.
        if (fclose(f) != 0)
            ecrit = false;
        if (ecrit) {
            r = 0;
        } else {
            zolerreur(ZOLSRC, "zolsauve", nullptr, "error writing file '%s'!\n", chemin);
            remove(chemin);
        }
    }
    va_end(va);
    delete[] chemin;
    return r;
}

// ---- Reference tables: DVB-S2 modes ------------------------------------

namespace
{

// The three getters of one built-in table, with the names they report under.
struct Tdd {
    const char *nom;
    int *(*dimx)(int &);
    const char ***(*idnx)();
    const double **(*tabx)();
    const char *ndimx, *nidnx, *ntabx;
};

const Tdd tdds[] = {
    {"dvbs2", zoltdd_dvbs2_dimx, zoltdd_dvbs2_idnx, zoltdd_dvbs2_tabx, "zoltdd_dvbs2_dimx",
     "zoltdd_dvbs2_idnx", "zoltdd_dvbs2_tabx"},
    {"dvbs2short", zoltdd_dvbs2short_dimx, zoltdd_dvbs2short_idnx, zoltdd_dvbs2short_tabx,
     "zoltdd_dvbs2short_dimx", "zoltdd_dvbs2short_idnx", "zoltdd_dvbs2short_tabx"},
};

const Tdd *tddnomme(const char *nom)
{
    for (const Tdd &t : tdds)
        if (nom != nullptr && strcmp(nom, t.nom) == 0)
            return &t;
    return nullptr;
}

// Releases the lists of a table (any of them may be null), in the order
// values, column names, row names, container, dimensions.
void liberepieces(const ZolTable &t)
{
    delete[] t.tabx;
    if (t.idnx != nullptr) {
        delete[] t.idnx[1];
        delete[] t.idnx[0];
    }
    delete[] t.idnx;
    delete[] t.dimx;
}

// Builds the pieces of `tdd`; on failure reports the getter at fault,
// releases what was made and returns false.
bool chargepieces(const Tdd &tdd, ZolTable &t, int &dimn)
{
    const char *fautif = nullptr;
    t.dimx = tdd.dimx(dimn);
    if (t.dimx == nullptr || dimn != 2)
        fautif = tdd.ndimx;
    if (fautif == nullptr && (t.idnx = tdd.idnx()) == nullptr)
        fautif = tdd.nidnx;
    if (fautif == nullptr && (t.tabx = tdd.tabx()) == nullptr)
        fautif = tdd.ntabx;
    if (fautif == nullptr)
        return true;
    zolerreur(ZOLSRC, "zoltddcharge", nullptr, "%s() error!\n", fautif);
    liberepieces(t);
    return false;
}

} // namespace

ZolTable *zoltddcharge(const char *nom, int &dimn)
{
    const Tdd *tdd = tddnomme(nom);
    if (tdd == nullptr) {
        zolerreur(ZOLSRC, "zoltddcharge", nullptr, "'%s' is not a Quarnetis data table\n",
                  nom != nullptr ? nom : "(null)");
        return nullptr;
    }
    ZolTable t = {nullptr, nullptr, nullptr};
    if (!chargepieces(*tdd, t, dimn))
        return nullptr;
    ZolTable *table = new (std::nothrow) ZolTable(t);
    if (table == nullptr) {
        zolerreur(ZOLSRC, "zoltddcharge", nullptr, "memory allocation error!\n");
        liberepieces(t);
        return nullptr;
    }
    zolmessage("sizeof(void*)   : %d\n", static_cast<int>(sizeof(void *)));
    zolmessage("sizeof(int*)    : %d\n", static_cast<int>(sizeof(int *)));
    zolmessage("sizeof(char***) : %d\n", static_cast<int>(sizeof(char ***)));
    zolmessage("sizeof(double**): %d\n", static_cast<int>(sizeof(double **)));
    return table;
}

void zoltddlibere(ZolTable *table)
{
    if (table == nullptr)
        return;
    liberepieces(*table);
    delete table;
}

// Place of `nom` in the list of `n` names, or -1.
static int place(const char *const *noms, int n, const char *nom)
{
    for (int i = 0; nom != nullptr && i < n; ++i)
        if (strcmp(noms[i], nom) == 0)
            return i;
    return -1;
}

double zoltddtrouve(const char *nom, const char *ligne, const char *colonne)
{
    int dimn = 0;
    ZolTable *t = zoltddcharge(nom, dimn);
    if (t == nullptr) {
        zolerreur(ZOLSRC, "zoltddtrouve", nullptr, "%s() error!\n", "zoltddcharge");
        return -1.0;
    }
    zolmessage("dimx[0]: %d, dimx[1]: %d\n", t->dimx[0], t->dimx[1]);
    int i = place(t->idnx[0], t->dimx[0], ligne);
    int j = place(t->idnx[1], t->dimx[1], colonne);
    double v = i >= 0 && j >= 0 ? t->tabx[i][j] : NAN;
    zoltddlibere(t);
    return v;
}

int zoltddtrace(FILE *flux, const char *nom)
{
    int dimn = 0;
    ZolTable *t = zoltddcharge(nom, dimn);
    if (t == nullptr) {
        zolerreur(ZOLSRC, "zoltddtrace", nullptr, "%s() error!\n", "zoltddcharge");
        return -1;
    }
    zolmessage("dimx[0]: %d, dimx[1]: %d\n", t->dimx[0], t->dimx[1]);
    for (int j = 0; j < t->dimx[1]; ++j)
        fprintf(flux, ";%s", t->idnx[1][j]);
    for (int i = 0; i < t->dimx[0]; ++i) {
        fprintf(flux, "\n%s", t->idnx[0][i]);
        for (int j = 0; j < t->dimx[1]; ++j)
            fprintf(flux, ";%lf", t->tabx[i][j]);
    }
    zoltddlibere(t);
    return 0;
}
