// SPDX-License-Identifier: GPL-3.0-or-later
#include "zolplat.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

FILE *zolplat_ouvre(const char *chemin)
{
    // Without O_NONBLOCK, opening a FIFO waits for a writer, for ever if
    // none comes; the type is known only once the path is open, since a
    // check by name could be raced by a rename.
    const int fd = open(chemin, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    const int drapeaux = fcntl(fd, F_GETFL);
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || drapeaux < 0 ||
        fcntl(fd, F_SETFL, drapeaux & ~O_NONBLOCK) != 0) {
        close(fd);
        return nullptr;
    }
    FILE *f = fdopen(fd, "r");
    if (f == nullptr)
        close(fd);
    return f;
}

bool zolplat_taille(const char *chemin, uint64_t *taille)
{
    struct stat st;
    if (stat(chemin, &st) != 0)
        return false;
    // What a directory's entry occupies on disk is no file size.
    *taille = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
    return true;
}

const char *zolplat_reptemp()
{
    const char *rep = getenv("TMPDIR");
    if (rep == nullptr || rep[0] == '\0')
        return "/tmp";
    if (strlen(rep) >= PATH_MAX)
        return nullptr;
    return rep;
}

int zolplat_fichiertemp(const char *rep, const char *prefixe, char *nom, size_t taille)
{
    int n = snprintf(nom, taille, "%s/%sXXXXXX", rep, prefixe);
    if (n < 0 || static_cast<size_t>(n) >= taille)
        return -1;
    return mkstemp(nom);
}

int zolplat_remplit(int fd, const void *bloc, uint64_t n, const char *mode, FILE **flux)
{
    *flux = nullptr;
    // The reading stream gets a duplicate, taken before the writing stream
    // closes the original.
    const int lecture = dup(fd);
    FILE *f = fdopen(fd, "wb");
    if (f == nullptr)
        close(fd);
    bool ok = f != nullptr && (n == 0 || fwrite(bloc, 1, n, f) == n);
    if (f != nullptr && fclose(f) != 0)
        ok = false; // a full disk often shows only when the buffer goes out
    if (!ok || lecture < 0 || lseek(lecture, 0, SEEK_SET) != 0 ||
        (*flux = fdopen(lecture, mode)) == nullptr) {
        if (lecture >= 0)
            close(lecture);
        return ok ? -2 : -1;
    }
    return 0;
}

int zolplat_mkdir(const char *chemin)
{
    return mkdir(chemin, 0777);
}

struct ZolplatListe {
    DIR *dir;
};

ZolplatListe *zolplat_ouvrerep(const char *chemin)
{
    DIR *dir = opendir(chemin);
    if (dir == nullptr)
        return nullptr;
    ZolplatListe *liste = new (std::nothrow) ZolplatListe{dir};
    if (liste == nullptr)
        closedir(dir);
    return liste;
}

// Some file systems do not fill in the entry type; a symbolic link counts as
// what it points to, as a directory link does on the other platform.
static bool estrepertoire(DIR *dir, const struct dirent *e)
{
    if (e->d_type == DT_DIR)
        return true;
    if (e->d_type != DT_UNKNOWN && e->d_type != DT_LNK)
        return false;
    struct stat st;
    return fstatat(dirfd(dir), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

bool zolplat_entree(ZolplatListe *liste, const char **nom, bool *estrep)
{
    // readdir gives null both at the end and on a read error; either ends
    // the listing.
    const struct dirent *e = readdir(liste->dir);
    if (e == nullptr)
        return false;
    *nom = e->d_name;
    *estrep = estrepertoire(liste->dir, e);
    return true;
}

void zolplat_fermerep(ZolplatListe *liste)
{
    if (liste == nullptr)
        return;
    closedir(liste->dir);
    delete liste;
}

// The "MemAvailable" and "SwapFree" lines of /proc/meminfo, in bytes.
static bool memoireSysteme(uint64_t *octets)
{
    FILE *f = fopen("/proc/meminfo", "r");
    if (f == nullptr)
        return false;
    char ligne[128];
    uint64_t total = 0;
    int trouves = 0;
    while (fgets(ligne, sizeof ligne, f)) {
        unsigned long long ko = 0;
        if (sscanf(ligne, "MemAvailable: %llu kB", &ko) == 1 ||
            sscanf(ligne, "SwapFree: %llu kB", &ko) == 1) {
            total += uint64_t(ko) * 1024;
            ++trouves;
        }
    }
    fclose(f);
    *octets = total;
    return trouves == 2;
}

// What RLIMIT_AS leaves of the address space, reservations included.
static bool memoireLimite(uint64_t *octets)
{
    struct rlimit limite;
    if (getrlimit(RLIMIT_AS, &limite) != 0 || limite.rlim_cur == RLIM_INFINITY)
        return false;
    FILE *f = fopen("/proc/self/statm", "r");
    if (f == nullptr)
        return false;
    unsigned long long pages = 0;
    const bool lu = fscanf(f, "%llu", &pages) == 1;
    fclose(f);
    if (!lu)
        return false;
    const uint64_t pris = uint64_t(pages) * uint64_t(sysconf(_SC_PAGESIZE));
    *octets = pris < limite.rlim_cur ? uint64_t(limite.rlim_cur) - pris : 0;
    return true;
}

// A block starts with the length of its mapping, a header of 16 bytes so
// that what it holds keeps malloc's alignment.
static const size_t ENTETE = 16;

static size_t pages(size_t octets)
{
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    return (octets + page - 1) / page * page;
}

static size_t &longueur(void *mapping)
{
    return *static_cast<size_t *>(mapping);
}

void *zolplat_bloc_etend(void *bloc, size_t octets)
{
    if (octets > SIZE_MAX / 2)
        return nullptr;
    const size_t voulue = pages(octets + ENTETE);
    char *avant = bloc ? static_cast<char *>(bloc) - ENTETE : nullptr;
    if (avant && longueur(avant) >= voulue)
        return bloc;
    void *m;
#if defined(__linux__)
    m = avant ? mremap(avant, longueur(avant), voulue, MREMAP_MAYMOVE)
              : mmap(nullptr, voulue, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
#else
    m = mmap(nullptr, voulue, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m != MAP_FAILED && avant) {
        memcpy(m, avant, longueur(avant));
        munmap(avant, longueur(avant));
    }
#endif
    if (m == MAP_FAILED)
        return nullptr;
    longueur(m) = voulue;
    return static_cast<char *>(m) + ENTETE;
}

void zolplat_bloc_libere(void *bloc)
{
    if (bloc == nullptr)
        return;
    char *m = static_cast<char *>(bloc) - ENTETE;
    munmap(m, longueur(m));
}

void zolplat_peuple(void *bloc, size_t octets)
{
#if defined(__linux__)
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23 // Linux 5.14; older kernels refuse it
#endif
    // Only the whole pages inside the block: its first and last may be
    // shared with the allocator's other blocks.
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t debut = (reinterpret_cast<uintptr_t>(bloc) + page - 1) / page * page;
    const uintptr_t fin = (reinterpret_cast<uintptr_t>(bloc) + octets) / page * page;
    if (fin > debut)
        madvise(reinterpret_cast<void *>(debut), fin - debut, MADV_POPULATE_WRITE);
#else
    (void)bloc;
    (void)octets;
#endif
}

void zolplat_rend_memoire()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

uint64_t zolplat_memoire()
{
    uint64_t reste = UINT64_MAX, m = 0;
    if (memoireSysteme(&m))
        reste = m;
    if (memoireLimite(&m) && m < reste)
        reste = m;
    return reste;
}
