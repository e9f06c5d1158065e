// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalumodl.h"

#include "zolconf.h"
#include "zolfichier.h"

static const char KLUSRC[] = "../kalu/kalumodl.cpp";

KaluModel::KaluModel() : shpn(0), shppaths(nullptr) {}

KaluModel::~KaluModel()
{
    for (int i = 0; i < shpn; ++i)
        delete[] shppaths[i];
    delete[] shppaths;
}

int KaluModel::ajouteShapefile(const char *path)
{
    if (fexiste(path) == 0) {
        zolerreur(KLUSRC, "ajouteShapefile", nullptr, "No file at path '%s'!\n", path);
        return -1;
    }
    return 0;
}
