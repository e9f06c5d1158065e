#include "zolfichier.h"

#include "zolplat.h"

#include <cstdio>

int fexiste(const char *nom)
{
    // fopen(dir, "r") succeeds on POSIX systems: ask the platform first.
    if (zolplat_repertoire(nom))
        return 0;
    FILE *f = fopen(nom, "r");
    if (f == nullptr)
        return 0;
    fclose(f);
    return 1;
}
