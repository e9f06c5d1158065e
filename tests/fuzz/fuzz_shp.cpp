// Fuzz target: the shapefile reader, fed from memory through its stream form
// (fmemopen), so that no input touches the disk.
//
// Beyond the sanitizers' own checks (no read past the input, no leak, no
// undefined arithmetic), every result must describe what the input can hold:
// at least one part per record, no negative point count, no more points than
// the input has room for, only the two shape types read; and every
// coordinate handed back is read once, so that a block shorter than its
// count is caught.
#include <cstdint>
#include <cstdio>

#include "zolshp.h"

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
    FILE *f = size > 0 ? fmemopen(const_cast<uint8_t *>(data), size, "rb")
                       : fopen("/dev/null", "rb");
    if (f == nullptr)
        return 0;
    int count = -1;
    ShpData *d = fscan_shp_flux(f, "fuzz.shp", count);
    fclose(f);
    if (d != nullptr) {
        verifie(d, count, size);
        deleteshp(d, count);
    }
    return 0;
}
