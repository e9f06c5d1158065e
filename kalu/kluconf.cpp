// SPDX-License-Identifier: GPL-3.0-or-later
#include "kluconf.h"

#include "zolconf.h"

static const char KLUSRC[] = "../kalu/kluconf.cpp";

char *klutemps(int mode)
{
    return zolhorodatage(__DATE__, __TIME__, mode, true, KLUSRC, "klutemps");
}

#define KLU_STR2(x) #x
#define KLU_STR(x) KLU_STR2(x)

char *klugcc()
{
#if defined(__clang__)
    return zolcopie(
        KLU_STR(__clang_major__) "." KLU_STR(__clang_minor__) "." KLU_STR(__clang_patchlevel__));
#else
    return zolcopie(KLU_STR(__GNUC__) "." KLU_STR(__GNUC_MINOR__) "." KLU_STR(__GNUC_PATCHLEVEL__));
#endif
}
