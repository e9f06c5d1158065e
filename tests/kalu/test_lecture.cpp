// SPDX-License-Identifier: GPL-3.0-or-later
//
// A load's reading thread (Lecture) on its own, driven as the window drives
// it: memory running out anywhere on that thread ends as the file refused
// and named, never as an exception leaving it, and the next load is whole;
// a file that grows while it is read gives what it held when it was opened,
// its forecast bounded by that; pieces taken without waiting come each
// once and in order; and a load leaves the heap allocator's
// settings alone.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <dlfcn.h>
#include <new>
#include <string>
#include <thread>

#include "capture.h"
#include "kalulecture.h"
#include "shpwriter.h"

// The plain and nothrow forms of new and delete, replaced in this program
// (on malloc and free): a test
// can fail one request made off its own thread, as memory running out on
// the reading thread would.
namespace echec
{

std::atomic<long> demandes{0};    // off the arming thread, since armed
std::atomic<long> avantEchec{-1}; // requests to let through; -1: none counted
std::thread::id armeur;

// From now on, requests made off the calling thread are counted, the next
// `rang` going through and the one after failing, which disarms; -1: none
// fails, none is counted.
void arme(long rang)
{
    avantEchec = -1;
    armeur = std::this_thread::get_id();
    demandes = 0;
    avantEchec = rang;
}

bool echoue()
{
    if (avantEchec.load() < 0 || std::this_thread::get_id() == armeur)
        return false;
    ++demandes;
    long n = avantEchec.load();
    while (n >= 0 && !avantEchec.compare_exchange_weak(n, n - 1)) {
    }
    return n == 0;
}

void *alloue(std::size_t taille)
{
    if (echoue())
        throw std::bad_alloc();
    void *p = std::malloc(taille != 0 ? taille : 1);
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}

} // namespace echec

void *operator new(std::size_t taille)
{
    return echec::alloue(taille);
}

void *operator new[](std::size_t taille)
{
    return echec::alloue(taille);
}

void *operator new(std::size_t taille, const std::nothrow_t &) noexcept
{
    try {
        return echec::alloue(taille);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

void *operator new[](std::size_t taille, const std::nothrow_t &) noexcept
{
    try {
        return echec::alloue(taille);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

void operator delete(void *p, const std::nothrow_t &) noexcept
{
    std::free(p);
}

void operator delete[](void *p, const std::nothrow_t &) noexcept
{
    std::free(p);
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

// Every call of mallopt in this program, counted on its way to the C
// library's.
static std::atomic<int> reglages{0};

extern "C" int mallopt(int parametre, int valeur)
{
    ++reglages;
    using Vrai = int (*)(int, int);
    static const Vrai vrai = reinterpret_cast<Vrai>(dlsym(RTLD_NEXT, "mallopt"));
    return vrai ? vrai(parametre, valeur) : 0;
}

namespace
{

struct Issue {
    bool accepte = false, refusee = false;
    size_t pieces = 0;
    int prevues = 0; // the largest forecast seen
    std::string out, err;
};

// Loads `chemin` as the window does, taking the pieces at each pret() until
// the reading is done; `pendant` runs at the first pret().
template <class F> Issue charge(const std::string &chemin, F pendant)
{
    Issue r;
    Capture c;
    {
        Lecture lue(chemin);
        std::deque<Piece> lot;
        QEventLoop boucle;
        bool premier = true;
        QObject::connect(&lue, &Lecture::arrivees, &boucle, [&] {
            if (premier)
                pendant();
            premier = false;
            lue.prends(lot);
            r.prevues = std::max(r.prevues, lue.partiesPrevues());
            if (lue.finie())
                boucle.quit();
        });
        boucle.exec();
        r.accepte = lue.accepte();
        r.refusee = lue.refusee();
        r.pieces = lot.size();
    }
    const Sorties sorties = c.fin();
    r.out = sorties.out;
    r.err = sorties.err;
    return r;
}

Issue charge(const std::string &chemin)
{
    return charge(chemin, [] {});
}

shp::Part ligne(int n, double x0)
{
    shp::Part p;
    for (int k = 0; k < n; ++k)
        p.push_back({x0 + k, x0 - k});
    return p;
}

// A record of `parts` parts of 3 points, then `suivants` of one part: more
// pieces than one lot, and more records after it.
std::string fichier(const std::string &nom, int parts, int suivants)
{
    std::vector<shp::Part> morceaux;
    for (int p = 0; p < parts; ++p)
        morceaux.push_back(ligne(3, p));
    std::vector<shp::Record> enregistrements{{3, morceaux}};
    for (int r = 0; r < suivants; ++r)
        enregistrements.push_back({3, {ligne(4, r)}});
    const std::string chemin = shp::scratchPath(nom);
    EXPECT_TRUE(shp::write(chemin, shp::file(3, enregistrements)));
    return chemin;
}

bool contient(const std::string &texte, const std::string &bout)
{
    return texte.find(bout) != std::string::npos;
}

TEST(Lecteur, MemoryRunningOutOnTheReadingThreadRefusesTheFileAndTheNextLoadIsWhole)
{
    const std::string chemin = fichier("epuise.shp", 600, 3);
    const size_t pieces = 603;
    echec::arme(LONG_MAX);
    const Issue entiere = charge(chemin);
    const long demandes = echec::demandes;
    echec::arme(-1);
    ASSERT_TRUE(entiere.accepte);
    ASSERT_EQ(entiere.pieces, pieces);
    ASSERT_GT(demandes, 600);

    // Each request of the reading thread fails in turn (every one near the
    // start and the end, where the reading begins and hands its last lot
    // over; a sample between): the file is loaded whole (a signal waits for
    // memory), or refused and named, or rejected by the reader, which says
    // why. Never an abort.
    int refus = 0;
    for (long rang = 0; rang < demandes + 8; rang += rang < 64 || rang > demandes - 64 ? 1 : 29) {
        SCOPED_TRACE(rang);
        echec::arme(rang);
        const Issue i = charge(chemin);
        echec::arme(-1);
        if (i.accepte) {
            EXPECT_EQ(i.pieces, pieces);
            EXPECT_EQ(i.err, "");
            EXPECT_FALSE(i.refusee);
            continue;
        }
        if (i.refusee) {
            ++refus;
            EXPECT_TRUE(contient(i.err, "not enough memory to load '" + chemin + "'")) << i.err;
        } else {
            EXPECT_TRUE(contient(i.err, "not enough memory for")) << i.err;
        }
    }
    EXPECT_GT(refus, 0);

    const Issue apres = charge(chemin);
    EXPECT_TRUE(apres.accepte);
    EXPECT_EQ(apres.pieces, pieces);
    EXPECT_EQ(apres.err, "");
}

TEST(Lecteur, AFileGrowingWhileItIsReadGivesWhatItHeldWhenOpened)
{
    // Bytes appended once the reading is under way: a record claiming
    // millions of parts, then more records. The load ends on the records
    // the file held when opened, its forecast never above what they can
    // hold (4 bytes a part).
    const std::string chemin = fichier("grandit.shp", 2000, 4000);
    FILE *f = std::fopen(chemin.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::fseek(f, 0, SEEK_END);
    const long taille = std::ftell(f);
    std::fclose(f);
    auto grandit = [&] {
        shp::Bytes plus =
            shp::withHeader(1, shp::rawContent(3, 50000000, 0, std::vector<int>(1000, 0), {}));
        for (int r = 0; r < 2000; ++r)
            shp::append(plus, shp::record(2 + r, {3, {ligne(40, r)}}));
        FILE *g = std::fopen(chemin.c_str(), "ab");
        ASSERT_NE(g, nullptr);
        std::fwrite(plus.data(), 1, plus.size(), g);
        std::fclose(g);
    };
    const Issue i = charge(chemin, grandit);
    EXPECT_TRUE(i.accepte);
    EXPECT_EQ(i.pieces, 6000u);
    EXPECT_LE(i.prevues, taille / 4);
    EXPECT_EQ(i.err, "");
}

// The loader's lines, made once the file is accepted, are every record's
// and every part's, in order, however many buffers they take.
TEST(Lecteur, AnAcceptedFileGivesEveryRecordsAndPartsLineInOrder)
{
    const std::string chemin = fichier("lignes.shp", 700, 3000);
    std::string attendu = "rcdi=0, partn=700\n";
    for (int p = 0; p < 700; ++p)
        attendu += "parti=" + std::to_string(p) + "\n";
    for (int r = 1; r <= 3000; ++r)
        attendu += "rcdi=" + std::to_string(r) + ", partn=1\nparti=0\n";
    const Issue i = charge(chemin);
    ASSERT_TRUE(i.accepte);
    EXPECT_EQ(i.pieces, 3700u);
    EXPECT_EQ(i.out, attendu);
    EXPECT_EQ(i.err, "");
}

// Taken without waiting, as the window's slices take them, the pieces
// come each once and in the file's order, every lot the reading thread
// handed over included, however the takes fall between its hand-overs.
TEST(Lecteur, PiecesTakenWithoutWaitingComeEachOnceInOrder)
{
    const std::string chemin = fichier("sansattente.shp", 700, 3000);
    Capture c;
    std::deque<Piece> lot;
    bool accepte = false, finie = false;
    {
        Lecture lue(chemin);
        QEventLoop boucle;
        QTimer encore; // the reading thread was handing pieces over: again
        encore.setInterval(0);
        auto prend = [&] {
            if (!lue.prends(lot, false)) {
                encore.start();
                return;
            }
            encore.stop();
            if (lue.finie())
                boucle.quit();
        };
        QObject::connect(&lue, &Lecture::arrivees, &boucle, prend);
        QObject::connect(&encore, &QTimer::timeout, &boucle, prend);
        QTimer::singleShot(60000, &boucle, &QEventLoop::quit); // a reading that never ends
        boucle.exec();
        accepte = lue.accepte();
        finie = lue.finie();
    }
    c.fin();
    ASSERT_TRUE(finie);
    ASSERT_TRUE(accepte);
    ASSERT_EQ(lot.size(), 3700u);
    for (int k = 0; k < 3700; ++k) {
        const Piece &p = lot[size_t(k)];
        ASSERT_EQ(p.rcdi, k < 700 ? 0 : k - 699) << k;
        ASSERT_EQ(p.parti, k < 700 ? k : 0) << k;
        ASSERT_EQ(p.donnees->size(), k < 700 ? 3 : 4) << k;
    }
}

TEST(Lecteur, ALoadLeavesTheHeapAllocatorsSettingsAlone)
{
    const std::string chemin = fichier("reglages.shp", 1000, 10);
    const int avant = reglages;
    const Issue i = charge(chemin);
    EXPECT_TRUE(i.accepte);
    EXPECT_EQ(reglages, avant);
}

} // namespace
