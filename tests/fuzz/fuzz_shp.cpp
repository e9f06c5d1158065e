// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the shapefile reader, fed from memory through its stream form
// (fmemopen), so that no input touches the disk.
//
// Beyond the sanitizers' own checks (no read past the input, no leak, no
// undefined arithmetic), every result must describe what the input can hold:
// at least one part per record, no negative point count, no more points than
// the input has room for, only the two shape types read; every coordinate
// handed back is read once, so that a block shorter than its count is
// caught; and the reading never holds more than its result's layout needs
// (five times the input's size, see zolshp.h) plus 64 KiB at once.
#include <cstdint>
#include <cstdio>

#include "zolshp.h"

// Memory bound, where AddressSanitizer tells every allocation: the bytes
// alive at once during a reading never pass five times the input's size
// (a 4-byte part start becomes 20 bytes of result) plus 64 KiB (the
// stream's buffer and the record arrays' growth step), whatever its counts
// claim. A copy of the part starts of the seed parts-vides-70000 on top of
// its result breaks it.
#if defined(__SANITIZE_ADDRESS__)
#define FUZZ_SUIVI_MEMOIRE 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FUZZ_SUIVI_MEMOIRE 1
#endif
#endif

#ifdef FUZZ_SUIVI_MEMOIRE
// From the sanitizer runtime (GCC's and Clang's alike; GCC ships no header).
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void *, size_t),
                                              void (*)(const volatile void *));
int __sanitizer_get_ownership(const volatile void *p);
size_t __sanitizer_get_allocated_size(const volatile void *p);
}

static bool suivi = false;
static size_t vivants = 0, pic = 0;

extern "C" {
static void surMalloc(const volatile void *, size_t n)
{
    if (suivi && (vivants += n) > pic)
        pic = vivants;
}

static void surFree(const volatile void *p)
{
    if (suivi && p != nullptr && __sanitizer_get_ownership(p)) {
        const size_t n = __sanitizer_get_allocated_size(p);
        vivants = n < vivants ? vivants - n : 0;
    }
}
}

static void debutSuivi()
{
    static bool installe = __sanitizer_install_malloc_and_free_hooks(surMalloc, surFree) != 0;
    (void)installe;
    vivants = pic = 0;
    suivi = true;
}

static void finSuivi(size_t size)
{
    suivi = false;
    if (pic > 5 * size + (64u << 10))
        __builtin_trap();
}
#else
static void debutSuivi() {}
static void finSuivi(size_t) {}
#endif

static void verifie(const ShpData *d, int count, size_t size)
{
    if (count < 0)
        __builtin_trap();
    if (count == 0) {
        if (d->partn || d->pointn || d->x || d->y || d->shptype)
            __builtin_trap();
        return;
    }
    volatile double somme = 0;
    uint64_t points = 0;
    for (int r = 0; r < count; ++r) {
        if (d->partn[r] < 1 || (d->shptype[r] != 3 && d->shptype[r] != 5))
            __builtin_trap();
        for (int p = 0; p < d->partn[r]; ++p) {
            const int n = d->pointn[r][p];
            if (n < 0)
                __builtin_trap();
            points += static_cast<uint64_t>(n);
            for (int k = 0; k < n; ++k)
                somme = somme + d->x[r][p][k] + d->y[r][p][k];
        }
    }
    // Every point takes 16 bytes of the file, after the 100-byte header.
    if (points * 16 > size)
        __builtin_trap();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // glibc refuses a zero-length buffer; an empty stream is what a
    // zero-length file gives, and /dev/null is one.
    FILE *f =
        size > 0 ? fmemopen(const_cast<uint8_t *>(data), size, "rb") : fopen("/dev/null", "rb");
    if (f == nullptr)
        return 0;
    int count = -1;
    debutSuivi();
    ShpData *d = fscan_shp_flux(f, "fuzz.shp", count);
    finSuivi(size);
    fclose(f);
    if (d != nullptr) {
        verifie(d, count, size);
        deleteshp(d, count);
    }
    return 0;
}
