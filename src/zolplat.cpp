#include "zolplat.h"

#include <sys/stat.h>

bool zolplat_repertoire(const char *chemin)
{
    struct stat st;
    return stat(chemin, &st) == 0 && S_ISDIR(st.st_mode);
}
