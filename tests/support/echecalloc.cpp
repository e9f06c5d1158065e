// SPDX-License-Identifier: GPL-3.0-or-later
#include "echecalloc.h"

#include <algorithm>
#include <new>

namespace echecalloc
{

int demandes = 0;
int avantEchec = -1;
size_t plusGrande = 0;

void arme(int rang)
{
    demandes = 0;
    plusGrande = 0;
    avantEchec = rang;
}

static void *alloueOuEchoue(std::size_t taille, bool tableau)
{
    ++demandes;
    plusGrande = std::max(plusGrande, taille);
    if (avantEchec == 0) {
        avantEchec = -1;
        return nullptr;
    }
    if (avantEchec > 0)
        --avantEchec;
    try {
        return tableau ? ::operator new[](taille) : ::operator new(taille);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

} // namespace echecalloc

void *operator new[](std::size_t taille, const std::nothrow_t &) noexcept
{
    return echecalloc::alloueOuEchoue(taille, true);
}

void *operator new(std::size_t taille, const std::nothrow_t &) noexcept
{
    return echecalloc::alloueOuEchoue(taille, false);
}
