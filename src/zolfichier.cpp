// SPDX-License-Identifier: GPL-3.0-or-later
#include "zolfichier.h"

#include "zolconf.h"
#include "zolplat.h"
#include "zoltabx.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

static const char ZOLSRC[] = "../src/zolfichier.cpp";

int fexiste(const char *nom)
{
    FILE *f = zolplat_ouvre(nom);
    if (f == nullptr)
        return 0;
    fclose(f);
    return 1;
}

// ---- File system --------------------------------------------------------

int foctet(const char *nom)
{
    uint64_t taille = 0;
    if (!zolplat_taille(nom, &taille)) {
        zolerreur(ZOLSRC, "foctet", nullptr, "impossible to get size of file '%s'!\n", nom);
        return -1;
    }
    // The two largest 32-bit sizes would read as -2 and -1.
    if (taille >= UINT64_C(0xFFFFFFFE)) {
        zolerreur(ZOLSRC, "foctet", nullptr, "error size of file '%s' is over 4 Go!\n", nom);
        return -2;
    }
    return static_cast<int>(static_cast<uint32_t>(taille));
}

// "<a><sep><b>" in a new block (delete[]), null when memory runs out.
static char *joint(const char *a, char sep, const char *b)
{
    size_t la = strlen(a), lb = strlen(b);
    char *c = new (std::nothrow) char[la + lb + 2];
    if (c == nullptr)
        return nullptr;
    memcpy(c, a, la);
    c[la] = sep;
    memcpy(c + la + 1, b, lb + 1);
    return c;
}

// New temporary file in "<base>/tmp"; its name in a new block (delete[])
// and its open descriptor in `fd`.
static char *nouveautemp(const char *base, int &fd)
{
    char *rep = joint(base, zolsep(), "tmp");
    if (rep == nullptr)
        return nullptr;
    size_t taille = strlen(rep) + 10; // "/", "zo", "XXXXXX" and the NUL
    char *nom = new (std::nothrow) char[taille];
    if (nom != nullptr && (fd = zolplat_fichiertemp(rep, "zo", nom, taille)) < 0) {
        delete[] nom;
        nom = nullptr;
    }
    delete[] rep;
    return nom;
}

FILE *mem_file(const void *bloc, uint64_t longueur, const char *opentype)
{
    // Other modes would open the copy for writing: refuse rather than abort.
    if (opentype == nullptr || strcmp(opentype, "r") != 0) {
        zolerreur(ZOLSRC, "mem_file", nullptr, "invalid open type '%s', \"r\" expected!\n",
                  opentype != nullptr ? opentype : "(null)");
        return nullptr;
    }
    if (bloc == nullptr && longueur > 0) {
        zolerreur(ZOLSRC, "mem_file", nullptr, "null block of %llu bytes!\n",
                  static_cast<unsigned long long>(longueur));
        return nullptr;
    }
    const char *base = zolrep();
    if (base == nullptr) {
        base = zolplat_reptemp();
        if (base == nullptr) {
            zolerreur(ZOLSRC, "mem_file", nullptr, "erreur GetTempPath()!\n");
            return nullptr;
        }
    }
    int fd = -1;
    char *nom = nouveautemp(base, fd);
    if (nom == nullptr) {
        zolerreur(ZOLSRC, "mem_file", nullptr, "erreur GetTempFileName()!\n");
        return nullptr;
    }
    // Written and read back through the descriptor that created the file,
    // never through its name: in a shared directory another user could put
    // something else under that name in between.
    FILE *f = nullptr;
    const int r = zolplat_remplit(fd, bloc, longueur, opentype, &f);
    if (r == -1)
        zolerreur(ZOLSRC, "mem_file", nullptr, "error writing temporary file '%s'!\n", nom);
    else if (r == -2)
        zolerreur(ZOLSRC, "mem_file", nullptr, "impossible to open file '%s'\n", nom);
    if (r != 0)
        remove(nom);
    delete[] nom;
    return f;
}

int cree_repertoire(const char *chemin)
{
    errno = 0;
    int r = zolplat_mkdir(chemin);
    if (r != 0 && errno == EEXIST)
        return 1;
    return r == 0 ? 0 : -1;
}

// Appends every entry of an open listing; false when memory runs out.
static bool listeentrees(ZolplatListe *liste, const char *chemin, std::vector<std::string> &reps,
                         std::vector<std::string> &fichiers)
{
    try {
        const char *nom = nullptr;
        bool estrep = false;
        while (zolplat_entree(liste, &nom, &estrep)) {
            if (strcmp(nom, ".") == 0 || strcmp(nom, "..") == 0)
                continue;
            std::string complet = std::string(chemin) + zolsep() + nom;
            (estrep ? reps : fichiers).push_back(std::move(complet));
        }
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

int losstier(char *chemin, std::vector<std::string> &reps, std::vector<std::string> &fichiers)
{
    for (char *p = chemin; *p != '\0'; ++p)
        if (*p == '\\')
            *p = '/';
    // Paths are kept below the other platform's 2048-byte limit, so that a
    // listing means the same everywhere.
    size_t longueur = strlen(chemin);
    if (longueur >= 2048) {
        zolerreur(ZOLSRC, "losstier", nullptr, "directory path of %zu bytes is too long!\n",
                  longueur);
        return -1;
    }
    ZolplatListe *liste = zolplat_ouvrerep(chemin);
    if (liste == nullptr) {
        zolerreur(ZOLSRC, "losstier", nullptr, "invalid directory path '%s'!\n", chemin);
        return -1;
    }
    bool ok = listeentrees(liste, chemin, reps, fichiers);
    zolplat_fermerep(liste);
    if (!ok) {
        zolerreur(ZOLSRC, "losstier", nullptr, "memory allocation error!\n");
        return -1;
    }
    return 0;
}

// ---- Paths --------------------------------------------------------------

// The `n` bytes at `debut` as a new string (delete[]), null when memory runs
// out.
static char *extrait(const char *debut, size_t n)
{
    char *s = new (std::nothrow) char[n + 1];
    if (s == nullptr)
        return nullptr;
    memcpy(s, debut, n);
    s[n] = '\0';
    return s;
}

static void liberechemin(Chemin *c)
{
    delete[] c->rep;
    delete[] c->nom;
    delete[] c->base;
    delete[] c->ext;
    delete[] c;
}

Chemin *decoupe_chemin(const char *chemin)
{
    if (chemin == nullptr)
        chemin = "";
    size_t l = strlen(chemin);
    size_t sep = l; // l: no separator
    for (size_t i = l; i-- > 0;)
        if (chemin[i] == '/' || chemin[i] == '\\') {
            sep = i;
            break;
        }
    size_t debutnom = sep == l ? 0 : sep + 1;
    const char *nom = chemin + debutnom;
    size_t lnom = l - debutnom;
    size_t point = lnom; // lnom: no dot
    for (size_t i = lnom; i-- > 0;)
        if (nom[i] == '.') {
            point = i;
            break;
        }

    Chemin *c = new (std::nothrow) Chemin[1];
    if (c == nullptr)
        return nullptr;
    c->rep = extrait(chemin, sep == l ? 0 : sep);
    c->nom = extrait(nom, lnom);
    c->base = extrait(nom, point);
    c->ext = point == lnom ? extrait("", 0) : extrait(nom + point + 1, lnom - point - 1);
    if (!c->rep || !c->nom || !c->base || !c->ext) {
        liberechemin(c);
        return nullptr;
    }
    return c;
}

// ---- Text files ---------------------------------------------------------

// After a CR: swallows the LF of a CR LF pair, pushes anything else back.
// Returns true when an LF was swallowed.
static bool suitecr(FILE *flux)
{
    int c = getc(flux);
    if (c == '\n')
        return true;
    if (c != EOF)
        ungetc(c, flux);
    return false;
}

// Adds one to a count that stops at INT_MAX instead of overflowing.
static void compte(int &n)
{
    if (n < INT_MAX)
        ++n;
}

char *lire_ligne(FILE *flux)
{
    // One pass into a growing block, so that streams that cannot seek back
    // (pipes) read correctly too.
    size_t n = 0, taille = 64;
    char *ligne = static_cast<char *>(malloc(taille));
    if (ligne == nullptr)
        return nullptr;
    int c;
    while ((c = getc(flux)) != EOF && c != '\n' && c != '\r') {
        if (n + 1 == taille) {
            char *plus = static_cast<char *>(realloc(ligne, taille * 2));
            if (plus == nullptr) {
                free(ligne);
                return nullptr;
            }
            ligne = plus;
            taille *= 2;
        }
        ligne[n++] = static_cast<char>(c);
    }
    if (c == '\r')
        suitecr(flux);
    ligne[n] = '\0';
    return ligne;
}

int saute_ligne(FILE *flux)
{
    int n = 0;
    int c;
    while ((c = getc(flux)) != EOF && c != '\n' && c != '\r')
        compte(n);
    if (c == '\r')
        suitecr(flux);
    return n;
}

int fligne(const char *nom, int &nvide)
{
    // Text and binary modes are the same on this platform.
    FILE *f = zolplat_ouvre(nom);
    if (f == nullptr) {
        zolerreur(ZOLSRC, "fligne", nullptr, "impossible to open file '%s'\n", nom);
        return -1;
    }
    int pleines = 0, vides = 0;
    bool pleine = false;
    int c;
    while ((c = getc(f)) != EOF) {
        if (c == '\n' || c == '\r') {
            if (c == '\r')
                suitecr(f);
            compte(pleine ? pleines : vides);
            pleine = false;
        } else if (c != ' ' && c != '\t') {
            pleine = true;
        }
    }
    compte(pleine ? pleines : vides);
    fclose(f);
    nvide = vides;
    return pleines;
}

// Working state of fscan_txt: the current line and the lines so far, as
// growable arrays (new[] blocks).
struct Lecture {
    int nc = 0, ncmax = 0;
    char *car = nullptr;
    int nl = 0, nlmax = 0;
    char **lignes = nullptr;
    int nlg = 0, nlgmax = 0;
    int *longueurs = nullptr;
};

// ajoutetab grows a full block by a fixed 75 elements, so a long line or a
// file of many lines would cost time quadratic in its size (minutes for a
// few megabytes). Room is reserved here by doubling ahead of it, and
// ajoutetab then only stores. False when the block cannot grow.
template <typename T> static bool ajoute(int &n, T *&tab, int &nmax, T valeur)
{
    if (n >= nmax) {
        long long voulu = nmax < 75 ? 75 : 2LL * nmax;
        if (voulu > INT_MAX)
            voulu = INT_MAX;
        if (voulu <= n)
            return false;
        T *plus = new (std::nothrow) T[static_cast<size_t>(voulu)];
        if (plus == nullptr)
            return false;
        if (n > 0)
            memcpy(plus, tab, static_cast<size_t>(n) * sizeof(T));
        delete[] tab;
        tab = plus;
        nmax = static_cast<int>(voulu);
    }
    return ajoutetab(n, tab, nmax, valeur) == 0;
}

// Moves the current line into the list of lines and empties it.
static bool rangeligne(Lecture &l)
{
    char *ligne = new (std::nothrow) char[static_cast<size_t>(l.nc) + 1];
    if (ligne == nullptr)
        return false;
    if (l.nc > 0)
        memcpy(ligne, l.car, static_cast<size_t>(l.nc));
    ligne[l.nc] = '\0';
    if (!ajoute(l.nl, l.lignes, l.nlmax, ligne)) {
        delete[] ligne;
        return false;
    }
    if (!ajoute(l.nlg, l.longueurs, l.nlgmax, l.nc))
        return false;
    l.nc = 0;
    return true;
}

// Reads the whole stream into `l`; false when memory runs out.
static bool litlignes(FILE *f, Lecture &l)
{
    int c;
    while ((c = getc(f)) != EOF) {
        if (!ajoute(l.nc, l.car, l.ncmax, static_cast<char>(c)))
            return false;
        if (c == '\r' && suitecr(f) && !ajoute(l.nc, l.car, l.ncmax, '\n'))
            return false;
        if ((c == '\n' || c == '\r') && !rangeligne(l))
            return false;
    }
    return rangeligne(l);
}

// The result array of fscan_txt from the lines read; null when memory runs
// out (the lines then still belong to `l`).
static char **resultat(const Lecture &l)
{
    char **tab = new (std::nothrow) char *[static_cast<size_t>(l.nl) + 1];
    int *longueurs = new (std::nothrow) int[static_cast<size_t>(l.nl)];
    if (tab == nullptr || longueurs == nullptr) {
        delete[] tab;
        delete[] longueurs;
        return nullptr;
    }
    for (int i = 0; i < l.nl; ++i) {
        tab[i] = l.lignes[i];
        longueurs[i] = l.longueurs[i];
    }
    tab[l.nl] = reinterpret_cast<char *>(longueurs);
    return tab;
}

char **fscan_txt(const char *nom, int &n)
{
    // Text and binary modes are the same on this platform.
    FILE *f = zolplat_ouvre(nom);
    if (f == nullptr) {
        zolerreur(ZOLSRC, "fscan_txt", nullptr, "impossible to open file '%s'\n", nom);
        return nullptr;
    }
    n = 0;
    Lecture l;
    bool ok = litlignes(f, l);
    fclose(f);
    char **tab = ok ? resultat(l) : nullptr;
    if (tab == nullptr)
        for (int i = 0; i < l.nl; ++i)
            delete[] l.lignes[i];
    delete[] l.car;
    delete[] l.lignes;
    delete[] l.longueurs;
    if (tab == nullptr) {
        zolerreur(ZOLSRC, "fscan_txt", nullptr, "memory allocation error!\n");
        return nullptr;
    }
    n = l.nl;
    return tab;
}
