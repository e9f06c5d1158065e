// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalulecture.h"

#include "zolconf.h"
#include "zolplat.h"
#include "zolshp.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

// The trace names this module by the file it had when its lines were first
// written: scripts and users match on it.
static const char KLUSRC[] = "../kalu/kalucharge.cpp";

// Pieces are handed over by batches, so that the lock and the GUI thread's
// wake-ups stay rare.
static const size_t PAQUET = 512;

// What a part costs once it is a curve on the plot, apart from its points
// (the curve, its QObject, its name, its data's container, its place in
// the map's lists and scene), and what a point costs: measured on a
// million parts, with room for what the drawing and the click index add.
static const uint64_t OCTETS_PAR_PARTIE = 900;
static const uint64_t OCTETS_PAR_POINT = 24;

Lecture::Lecture(std::string chemin) : chemin(std::move(chemin))
{
    try {
        fil = std::thread(&Lecture::lis, this);
    } catch (const std::exception &) {
        // No thread to be had: under an address-space cap, no room for its
        // stack. The file is refused as one too big.
        zolerreur(KLUSRC, "fscanshp_cpt", nullptr,
                  "not enough memory to load '%s': no thread to read it!\n", this->chemin.c_str());
        refusee_ = true;
        derniere = signale_ = true;
        QMetaObject::invokeMethod(this, &Lecture::lu, Qt::QueuedConnection);
        QMetaObject::invokeMethod(this, &Lecture::arrivees, Qt::QueuedConnection);
    }
}

Lecture::~Lecture()
{
    detruite = true;
    arret = true;
    if (fil.joinable())
        fil.join();
}

// The batches are taken whole under the lock and moved piece by piece outside
// it. Each piece moved is counted at once: should the caller's list fail to
// grow, the others wait for the next call, none is lost or given twice.
bool Lecture::prends(std::deque<Piece> &pieces, bool attendre)
{
    if (recus.empty()) {
        std::unique_lock<std::mutex> verrou(garde, std::defer_lock);
        if (attendre)
            verrou.lock();
        else if (!verrou.try_lock())
            return false;
        recus.swap(remis);
        recuDerniere = derniere;
        signale_ = false;
    }
    for (; recuPaquet < recus.size(); ++recuPaquet, recuPiece = 0)
        for (std::vector<Piece> &v = recus[recuPaquet]; recuPiece < v.size(); ++recuPiece)
            pieces.push_back(std::move(v[recuPiece]));
    recus.clear();
    recuPaquet = 0;
    finie_ = recuDerniere;
    return true;
}

// Sends a signal from the reading thread. The event that carries it is
// memory too: when none is left, the thread waits for some to come back
// rather than leave the GUI thread waiting for ever, unless the Lecture
// goes, when nobody waits any more.
void Lecture::envoie(void (Lecture::*signal)())
{
    for (;;) {
        try {
            QMetaObject::invokeMethod(this, signal, Qt::QueuedConnection);
            return;
        } catch (const std::bad_alloc &) {
            if (detruite)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

// Hands the batch over and wakes the GUI thread if no wake-up is on its way
// already. Should the waiting list fail to grow (std::bad_alloc), the
// pieces not moved stay in the batch.
void Lecture::depose()
{
    bool reveille = false;
    {
        std::lock_guard<std::mutex> verrou(garde);
        remis.push_back(std::move(paquet));
        reveille = !signale_;
        signale_ = true;
    }
    paquet = std::vector<Piece>();
    if (reveille)
        envoie(&Lecture::arrivees);
    paquet.reserve(PAQUET + PAQUET / 4);
}

// The reading's end: the GUI thread takes what waits and knows it is the last.
void Lecture::termine()
{
    bool reveille = false;
    {
        std::lock_guard<std::mutex> verrou(garde);
        derniere = true;
        reveille = !signale_;
        signale_ = true;
    }
    if (reveille)
        envoie(&Lecture::arrivees);
}

// The points of one part as curve data, t being the point's index in its
// part. A coordinate the plot cannot place (NaN, an infinity, or a magnitude
// like 1e308 from a damaged file) would make rescaleAxes compute a range
// that setRange refuses: the view then kept its old ranges and could show
// none of the sound curves. Such a point of a line becomes a gap (NaN, which
// the plot skips when fitting the axes and draws as a break); a polygon's
// ring cannot be filled across a gap, so there the vertex is left out. Half
// the plot's largest range keeps any two placeable points within one valid
// range. The piece's box is that of the placed points (0 to 0 when there is
// none).
static const double LIMITE = QCPRange::maxRange / 2;

static bool placable(double x, double y)
{
    return std::fabs(x) < LIMITE && std::fabs(y) < LIMITE;
}

static void remplis(Piece &p, const double *x, const double *y, int n)
{
    QVector<QCPCurveData> points(n);
    QCPCurveData *d = points.data();
    int m = 0;
    // The box by hand: the library's expand, out of line, took a tenth of
    // the reading thread.
    double x0 = qInf(), x1 = -qInf(), y0 = qInf(), y1 = -qInf();
    for (int k = 0; k < n; ++k) {
        if (placable(x[k], y[k])) {
            d[m++] = QCPCurveData(k, x[k], y[k]);
            x0 = std::min(x0, x[k]), x1 = std::max(x1, x[k]);
            y0 = std::min(y0, y[k]), y1 = std::max(y1, y[k]);
        } else if (!p.polygone) {
            d[m++] = QCPCurveData(k, qQNaN(), qQNaN());
        }
    }
    p.place = x0 <= x1;
    p.cles = p.place ? QCPRange(x0, x1) : QCPRange(0, 0);
    p.valeurs = p.place ? QCPRange(y0, y1) : QCPRange(0, 0);
    if (m < n) { // a polygon's vertices left out
        points.resize(m);
        points.squeeze();
    }
    // Not QSharedPointer::create: when its own block can't be had, it
    // unwinds through an uninitialised pointer. Here a failure at any step
    // frees what was had.
    std::unique_ptr<QCPCurveDataContainer> donnees(new QCPCurveDataContainer);
    donnees->set(points, true);
    p.donnees = QSharedPointer<QCPCurveDataContainer>(donnees.get());
    donnees.release();
}

// The lines' integers by hand: snprintf took a tenth of a small map's load.
static char *entier(char *d, int v)
{
    char chiffres[12];
    int n = 0;
    unsigned u = v < 0 ? 0u - unsigned(v) : unsigned(v);
    do
        chiffres[n++] = char('0' + u % 10);
    while ((u /= 10) != 0);
    if (v < 0)
        *d++ = '-';
    while (n > 0)
        *d++ = chiffres[--n];
    return d;
}

static char *texte(char *d, const char *t, size_t n)
{
    std::memcpy(d, t, n);
    return d + n;
}

// The loader's lines, "rcdi=<r>, partn=<n>" then "parti=<p>" for each part
// of each record, made from the reader's counts once the file is accepted
// and written a buffer at a time: a million records' lines, kept as text
// through the load, took tens of MB at its peak. The stream stays locked
// throughout, so that the file's lines still come in one piece.
static void ecritLignes(const int *partn, int records)
{
    char tampon[16384];
    char *d = tampon;
    auto passe = [&] {
        if (d + 48 > tampon + sizeof tampon) {
            zolmessages(tampon, size_t(d - tampon));
            d = tampon;
        }
    };
    flockfile(stdout);
    for (int rcdi = 0; rcdi < records; ++rcdi) {
        d = texte(d, "rcdi=", 5);
        d = entier(d, rcdi);
        d = texte(d, ", partn=", 8);
        d = entier(d, partn[rcdi]);
        *d++ = '\n';
        passe();
        for (int parti = 0; parti < partn[rcdi]; ++parti) {
            d = texte(d, "parti=", 6);
            d = entier(d, parti);
            *d++ = '\n';
            passe();
        }
    }
    if (d > tampon)
        zolmessages(tampon, size_t(d - tampon));
    funlockfile(stdout);
}

// Whether the curves of the records read so far, with `e`, fit in what
// memory the process may still take, and, past an eighth of the file,
// whether the whole file's would at the same rate: the plot and Qt can't
// survive an allocation that fails, so a map too big is refused before its
// curves take that memory, with the file named. Every forecast is bounded
// by what the rest of the file can hold (4 bytes a part, 16 a point), so
// that a few records of a big file never foretell more than it has.
bool Lecture::tient(const ShpEnregistrement &e)
{
    parties += uint64_t(e.partn);
    for (int p = 0; p < e.partn; ++p)
        points += uint64_t(e.pointn[p]);
    const long long apres = std::max(0LL, std::min(e.reste, taille));
    const double lus = double(std::max(1LL, taille - apres)), echelle = double(taille) / lus;
    prevuesParties = std::min(double(parties) * echelle, double(parties) + double(apres / 4));
    const double prevus = std::min(double(points) * echelle, double(points) + double(apres / 16));
    const uint64_t besoin = parties * OCTETS_PAR_PARTIE + points * OCTETS_PAR_POINT;
    const double projete = prevuesParties * OCTETS_PAR_PARTIE + prevus * OCTETS_PAR_POINT;
    const bool tot = lus * 8 < double(taille);
    if (besoin <= reste && (tot || projete <= double(reste)))
        return true;
    zolerreur(KLUSRC, "fscanshp_cpt", nullptr,
              "not enough memory to load '%s': %llu parts and %llu points need about %llu MB, %llu "
              "MB left!\n",
              chemin.c_str(), (unsigned long long)prevuesParties, (unsigned long long)prevus,
              (unsigned long long)std::max(double(besoin), projete) >> 20,
              (unsigned long long)(reste >> 20));
    return false;
}

bool Lecture::boite(QCPRange &cles, QCPRange &valeurs) const
{
    cles = cles_;
    valeurs = valeurs_;
    return place_;
}

// No exception leaves this thread: memory running out anywhere in the
// pieces or their hand-over ends as a file refused, named, its pieces
// given so far taken back by the caller.
void Lecture::lis()
{
    reste = zolplat_memoire();
    int count = 0;
    bool coupee = false;
    ShpData *shp = fscan_shp(
        chemin.c_str(), count, &arret, [this](const ShpEnregistrement &e) { return suit(e); },
        &coupee);
    tronquee_ = coupee;
    enregistrements_ = count;
    const bool lue = shp != nullptr;
    if (lue && !plein && !epuise)
        remet();
    accepte_ = lue && !plein && !epuise;
    refusee_ = plein || epuise;
    if (!accepte_)
        std::vector<Piece>().swap(paquet);
    if (epuise)
        zolerreur(KLUSRC, "fscanshp_cpt", nullptr,
                  "not enough memory to load '%s': stopped at record %d!\n", chemin.c_str(),
                  records);
    envoie(&Lecture::lu);
    if (accepte_ && !zolmuet())
        ecritLignes(shp->partn, count);
    deleteshp(shp, count);
    termine();
}

// The hand-over, memory running out there stopping the reading as it does
// anywhere else.
void Lecture::remet()
{
    try {
        depose();
    } catch (const std::bad_alloc &) {
        epuise = true;
        arret = true;
    }
}

// One record as the reader stored it: made into pieces, then its block
// freed. A map too big, or memory running out, stops the reading there.
bool Lecture::suit(const ShpEnregistrement &e)
{
    if (plein || epuise)
        return false;
    taille = e.taille;
    if (!tient(e)) {
        plein = true;
        arret = true;
        return false;
    }
    try {
        decoupe(e);
    } catch (const std::bad_alloc &) {
        // Past the estimate, when others took the memory meanwhile.
        epuise = true;
        arret = true;
        return false;
    }
    if (paquet.size() >= PAQUET) {
        prevues = int(std::min(double(INT_MAX), prevuesParties));
        remet();
    }
    return !epuise;
}

// One piece per part of the record, with the union of their boxes. A
// record's pieces are in the batch all or none.
void Lecture::decoupe(const ShpEnregistrement &e)
{
    const size_t avant = paquet.size();
    const long long apres = std::max(0LL, std::min(e.reste, taille));
    const int pourcent = taille > 0 ? int((taille - apres) * 100 / taille) : 0;
    QCPRange cles = cles_, valeurs = valeurs_;
    bool place = place_;
    try {
        for (int parti = 0; parti < e.partn; ++parti) {
            Piece p;
            p.pourcent = pourcent;
            p.polygone = e.type == 5;
            p.rcdi = e.r;
            p.parti = parti;
            remplis(p, e.x[parti], e.y[parti], e.pointn[parti]);
            if (p.place) {
                if (!place)
                    cles = p.cles, valeurs = p.valeurs;
                cles.expand(p.cles);
                valeurs.expand(p.valeurs);
                place = true;
            }
            paquet.push_back(std::move(p));
        }
    } catch (...) {
        paquet.resize(avant);
        throw;
    }
    cles_ = cles, valeurs_ = valeurs, place_ = place;
    ++records;
}
