#include "zolconf.h"

#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

static const char ZOLSRC[] = "../src/zolconf.cpp";

static int profondeur = 0;

static void indente(FILE *flux)
{
    for (int i = 0; i < profondeur; ++i)
        fputs("  ", flux);
}

static void prefixe(FILE *flux, const char *source, const char *fonction,
                    const char *qualif)
{
    indente(flux);
    if (qualif == nullptr)
        fprintf(flux, "[<%s.%s>] ", source, fonction);
    else
        fprintf(flux, "[<%s.%s(\"%s\")>] ", source, fonction, qualif);
}

void zolerreur(const char *source, const char *fonction, const char *qualif,
               const char *format, ...)
{
    prefixe(stderr, source, fonction, qualif);
    va_list va;
    va_start(va, format);
    vfprintf(stderr, format, va);
    va_end(va);
    fflush(stderr);
}

void zolavis(const char *source, const char *fonction, const char *qualif,
             const char *format, ...)
{
    prefixe(stdout, source, fonction, qualif);
    va_list va;
    va_start(va, format);
    vfprintf(stdout, format, va);
    va_end(va);
    fflush(stdout);
}

static void trace(char sens, const char *source, const char *fonction,
                  const char *qualif)
{
    if (qualif == nullptr)
        fprintf(stdout, "[%c%s.%s]\n", sens, source, fonction);
    else
        fprintf(stdout, "[%c%s.%s(\"%s\")]\n", sens, source, fonction, qualif);
    fflush(stdout);
}

void zolentree(const char *source, const char *fonction, const char *qualif)
{
    // The entry line stands at the caller's depth; what follows is one deeper.
    indente(stdout);
    ++profondeur;
    trace('>', source, fonction, qualif);
}

void zolsortie(const char *source, const char *fonction, const char *qualif)
{
    --profondeur;
    indente(stdout);
    trace('<', source, fonction, qualif);
}

void zolmessage(const char *format, ...)
{
    indente(stdout);
    va_list va;
    va_start(va, format);
    vfprintf(stdout, format, va);
    va_end(va);
    fflush(stdout);
}

int zolprofondeur()
{
    return profondeur;
}

// ---- Build stamps -------------------------------------------------------

char *zolcopie(const char *texte)
{
    size_t n = strlen(texte) + 1;
    char *copie = new char[n];
    memcpy(copie, texte, n);
    return copie;
}

int zoldatecompil(const char *date, const char *heure, struct tm *tm,
                  const char *source, const char *fonction)
{
    static const char *const mois[12] = {"jan", "feb", "mar", "apr",
                                         "may", "jun", "jul", "aug",
                                         "sep", "oct", "nov", "dec"};
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
        zolerreur(source, fonction, nullptr,
                  "month identifier '%s' is unknown!\n", mot);
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

char *zolhorodatage(const char *date, const char *heure, int mode,
                    bool dateseule, const char *source, const char *fonction)
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
    return zolcopie(ZOL_STR(__clang_major__) "." ZOL_STR(__clang_minor__) "." ZOL_STR(__clang_patchlevel__));
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

double zoldeuxpi() { return 6.283185307179586; }
double zolcelerite() { return 299792458.0; }
double zolkboltz() { return 1.3806504e-23; }
double zolkboltzdb() { return -228.599162769405; }
double zolreq() { return 6378137.0; }
double zolrpol() { return 6356752.3; }
double zolrmoy() { return 6371008.7714; }
double zolmuterre() { return 398600.4418; }
double zolua() { return 149597870700.0; }
double zolt25() { return 298.15; }
double zolval2m24() { return 5.960464477539063e-08; }
double zolval35785700() { return 35785700.0; }
double zolval696265000() { return 696265000.0; }
double zolval333() { return 333.0; }

int zoltaille(int code)
{
    switch (code) {
    case 0: return 8;
    case 1: return 4;
    case 2: return 1;
    default: return 0;
    }
}
