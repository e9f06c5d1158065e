// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalucharge.h"

#include "zolconf.h"
#include "zolplat.h"
#include "zolshp.h"

#include <cmath>
#include <cstdio>
#include <new>

static const char KLUSRC[] = "../kalu/kalucharge.cpp";

// Pieces are handed over by lots, so that the lock and the GUI thread's
// wake-ups stay rare.
static const size_t LOT = 512;

// What a part costs once it is a curve on the plot, apart from its points
// (the curve, its QObject, its name, its data's container, its place in
// the map's lists and scene), and what a point costs: measured on a
// million parts, with room for what the drawing and the click index add.
static const uint64_t OCTETS_PAR_PARTIE = 900;
static const uint64_t OCTETS_PAR_POINT = 24;

Lecture::Lecture(std::string chemin) : chemin(std::move(chemin))
{
    fil = std::thread(&Lecture::lis, this);
}

Lecture::~Lecture()
{
    arret = true;
    fil.join();
}

void Lecture::prends(std::deque<Piece> &lot)
{
    std::lock_guard<std::mutex> verrou(garde);
    for (Piece &p : prets)
        lot.push_back(std::move(p));
    prets.clear();
    signale = false;
    finie_ = derniere;
}

// Hands the lot over and wakes the GUI thread if no wake-up is on its way
// already.
void Lecture::depose(std::vector<Piece> &lot, bool fin)
{
    bool reveille = false;
    {
        std::lock_guard<std::mutex> verrou(garde);
        for (Piece &p : lot)
            prets.push_back(std::move(p));
        derniere = derniere || fin;
        reveille = !signale;
        signale = true;
    }
    lot.clear();
    if (reveille)
        QMetaObject::invokeMethod(this, &Lecture::pret, Qt::QueuedConnection);
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
static void remplis(Piece &p, const double *x, const double *y, int n)
{
    const double limite = QCPRange::maxRange / 2;
    QVector<QCPCurveData> points(n);
    QCPCurveData *d = points.data();
    int m = 0;
    p.cles = p.valeurs = QCPRange(0, 0);
    p.place = false;
    for (int k = 0; k < n; ++k) {
        if (std::fabs(x[k]) < limite && std::fabs(y[k]) < limite) {
            d[m++] = QCPCurveData(k, x[k], y[k]);
            if (!p.place)
                p.cles = QCPRange(x[k], x[k]), p.valeurs = QCPRange(y[k], y[k]);
            p.cles.expand(x[k]);
            p.valeurs.expand(y[k]);
            p.place = true;
        } else if (!p.polygone) {
            d[m++] = QCPCurveData(k, qQNaN(), qQNaN());
        }
    }
    if (m < n) { // a polygon's vertices left out
        points.resize(m);
        points.squeeze();
    }
    p.donnees = QSharedPointer<QCPCurveDataContainer>::create();
    p.donnees->set(points, true);
}

// "shp[<rcdi>][<parti>]", made here rather than on the GUI thread, at its
// exact size: a million names, no spare room.
static QString nomDe(int rcdi, int parti)
{
    char nom[40];
    const int n = std::snprintf(nom, sizeof nom, "shp[%d][%d]", rcdi, parti);
    return QString::fromLatin1(nom, n);
}

// Whether the curves of `shp` fit in what memory the process may still
// take: the plot and Qt can't survive an allocation that fails, so a map
// too big is refused before its first curve, with the file named.
bool Lecture::tient(const ShpData *shp, int count) const
{
    uint64_t parties = 0, points = 0;
    for (int r = 0; r < count; ++r) {
        parties += uint64_t(shp->partn[r]);
        for (int p = 0; p < shp->partn[r]; ++p)
            points += uint64_t(shp->pointn[r][p]);
    }
    const uint64_t besoin = parties * OCTETS_PAR_PARTIE + points * OCTETS_PAR_POINT;
    const uint64_t reste = zolplat_memoire();
    if (besoin <= reste)
        return true;
    zolerreur(KLUSRC, "fscanshp_cpt", nullptr,
              "not enough memory to load '%s': %llu parts and %llu points need about %llu MB, %llu "
              "MB left!\n",
              chemin.c_str(), (unsigned long long)parties, (unsigned long long)points,
              (unsigned long long)(besoin >> 20), (unsigned long long)(reste >> 20));
    return false;
}

void Lecture::lis()
{
    int count = 0;
    ShpData *shp = fscan_shp(chemin.c_str(), count, &arret);
    refusee_ = shp && !tient(shp, count);
    accepte_ = shp && !refusee_;
    total_ = count;
    QMetaObject::invokeMethod(this, &Lecture::lu, Qt::QueuedConnection);
    std::vector<Piece> lot;
    try {
        if (accepte_)
            decoupe(shp, count, lot);
    } catch (const std::bad_alloc &) {
        // Past the estimate, when others took the memory meanwhile: the
        // pieces stop, the curves made stay.
        zolerreur(KLUSRC, "fscanshp_cpt", nullptr,
                  "not enough memory to load '%s': stopped at record %d!\n", chemin.c_str(),
                  faits_.load());
        lot.clear();
    }
    deleteshp(shp, count);
    depose(lot, true);
}

// The loader's lines and one piece per part, record after record, each
// record's block freed once its pieces are made.
void Lecture::decoupe(ShpData *shp, int count, std::vector<Piece> &lot)
{
    for (int rcdi = 0; rcdi < count && !arret; ++rcdi) {
        zolmessage("rcdi=%d, partn=%d\n", rcdi, shp->partn[rcdi]);
        const int type = shp->shptype[rcdi];
        for (int parti = 0; (type == 3 || type == 5) && parti < shp->partn[rcdi]; ++parti) {
            zolmessage("parti=%d\n", parti);
            Piece p;
            p.polygone = type == 5;
            p.nom = nomDe(rcdi, parti);
            remplis(p, shp->x[rcdi][parti], shp->y[rcdi][parti], shp->pointn[rcdi][parti]);
            lot.push_back(std::move(p));
        }
        deleteshp_rcd(shp, count, rcdi);
        faits_ = rcdi + 1;
        if (lot.size() >= LOT)
            depose(lot, false);
    }
}
