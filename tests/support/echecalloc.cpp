// SPDX-License-Identifier: GPL-3.0-or-later
#include "echecalloc.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <thread>

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

std::atomic<long> demandesAilleurs{0};
static std::atomic<long> avantEchecAilleurs{-1};
static std::thread::id armeur;

void armeAilleurs(long rang)
{
    avantEchecAilleurs = -1;
    armeur = std::this_thread::get_id();
    demandesAilleurs = 0;
    avantEchecAilleurs = rang;
}

// Whether the request, made on the calling thread, is the one to fail.
static bool echoueAilleurs()
{
    if (avantEchecAilleurs.load() < 0 || std::this_thread::get_id() == armeur)
        return false;
    ++demandesAilleurs;
    long n = avantEchecAilleurs.load();
    while (n >= 0 && !avantEchecAilleurs.compare_exchange_weak(n, n - 1)) {
    }
    return n == 0;
}

static void *alloue(std::size_t taille)
{
    if (echoueAilleurs())
        throw std::bad_alloc();
    void *p = std::malloc(taille != 0 ? taille : 1);
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
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

void *operator new(std::size_t taille)
{
    return echecalloc::alloue(taille);
}

void *operator new[](std::size_t taille)
{
    return echecalloc::alloue(taille);
}

void operator delete(void *p) noexcept
{
    std::free(p);
}

void operator delete[](void *p) noexcept
{
    std::free(p);
}

void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete[](void *p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete(void *p, const std::nothrow_t &) noexcept
{
    std::free(p);
}

void operator delete[](void *p, const std::nothrow_t &) noexcept
{
    std::free(p);
}
