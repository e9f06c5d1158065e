// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalucharge.h"

#include "zolconf.h"
#include "zolplat.h"
#include "zolshp.h"

#include <algorithm>
#include <climits>
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
    zolplat_grands_blocs(true);
    fil = std::thread(&Lecture::lis, this);
}

Lecture::~Lecture()
{
    arret = true;
    fil.join();
    zolplat_grands_blocs(false);
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
void Lecture::depose(bool fin)
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
    p.cles = p.valeurs = QCPRange(0, 0);
    p.place = false;
    for (int k = 0; k < n; ++k) {
        if (placable(x[k], y[k])) {
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

// The loader's lines of one record: "rcdi=<r>, partn=<n>", then
// "parti=<p>" for each part.
static void ajouteLignes(std::string &lignes, int rcdi, int partn)
{
    char ligne[48];
    lignes.append(ligne,
                  size_t(std::snprintf(ligne, sizeof ligne, "rcdi=%d, partn=%d\n", rcdi, partn)));
    for (int parti = 0; parti < partn; ++parti)
        lignes.append(ligne, size_t(std::snprintf(ligne, sizeof ligne, "parti=%d\n", parti)));
}

// "shp[<rcdi>][<parti>]", made here rather than on the GUI thread, at its
// exact size: a million names, no spare room.
static QString nomDe(int rcdi, int parti)
{
    char nom[40];
    const int n = std::snprintf(nom, sizeof nom, "shp[%d][%d]", rcdi, parti);
    return QString::fromLatin1(nom, n);
}

// Whether the curves of the records read so far, with `e`, fit in what
// memory the process may still take, and, past an eighth of the file,
// whether the whole file's would at the same rate: the plot and Qt can't
// survive an allocation that fails, so a map too big is refused before its
// curves take that memory, with the file named.
bool Lecture::tient(const ShpEnregistrement &e)
{
    parties += uint64_t(e.partn);
    for (int p = 0; p < e.partn; ++p)
        points += uint64_t(e.pointn[p]);
    const double lus = double(taille - e.reste), echelle = lus > 0 ? double(taille) / lus : 1;
    const uint64_t besoin = parties * OCTETS_PAR_PARTIE + points * OCTETS_PAR_POINT;
    const bool tot = lus * 8 < double(taille);
    if (besoin <= reste && (tot || double(besoin) * echelle <= double(reste)))
        return true;
    zolerreur(KLUSRC, "fscanshp_cpt", nullptr,
              "not enough memory to load '%s': %llu parts and %llu points need about %llu MB, %llu "
              "MB left!\n",
              chemin.c_str(), (unsigned long long)(double(parties) * echelle),
              (unsigned long long)(double(points) * echelle),
              (unsigned long long)(double(besoin) * echelle) >> 20,
              (unsigned long long)(reste >> 20));
    return false;
}

bool Lecture::boite(QCPRange &cles, QCPRange &valeurs) const
{
    cles = cles_;
    valeurs = valeurs_;
    return place_;
}

void Lecture::lis()
{
    zolplat_arriere_plan();
    double x0, y0, x1, y1;
    if (!boite_shp(chemin.c_str(), x0, y0, x1, y1, taille))
        taille = 0;
    reste = zolplat_memoire();
    int count = 0;
    ShpData *shp = fscan_shp(chemin.c_str(), count, &arret,
                             [this](const ShpEnregistrement &e) { return suit(e); });
    accepte_ = (shp || epuise) && !plein;
    deleteshp(shp, count);
    refusee_ = plein;
    if (!accepte_)
        lot.clear();
    QMetaObject::invokeMethod(this, &Lecture::lu, Qt::QueuedConnection);
    if (accepte_)
        zolmessages(lignes.data(), lignes.size());
    std::string().swap(lignes);
    if (epuise)
        zolerreur(KLUSRC, "fscanshp_cpt", nullptr,
                  "not enough memory to load '%s': stopped at record %d!\n", chemin.c_str(),
                  records);
    depose(true);
}

// One record as the reader stored it: made into pieces, then its block
// freed. A map too big, or memory running out, stops the reading there.
bool Lecture::suit(const ShpEnregistrement &e)
{
    if (plein || epuise)
        return false;
    if (!tient(e)) {
        plein = true;
        arret = true;
        return false;
    }
    try {
        decoupe(e);
    } catch (const std::bad_alloc &) {
        // Past the estimate, when others took the memory meanwhile: the
        // pieces stop, the curves made stay.
        epuise = true;
        arret = true;
        return false;
    }
    if (lot.size() >= LOT) {
        prevues = int(std::min(double(INT_MAX), double(parties) * double(taille) /
                                                    double(std::max(1LL, taille - e.reste))));
        depose(false);
    }
    return true;
}

// One piece per part of the record, with the union of their boxes.
void Lecture::decoupe(const ShpEnregistrement &e)
{
    std::vector<Piece> faites;
    const int pourcent = taille > 0 ? int((taille - e.reste) * 100 / taille) : 0;
    for (int parti = 0; parti < e.partn; ++parti) {
        Piece p;
        p.pourcent = pourcent;
        p.polygone = e.type == 5;
        p.nom = nomDe(e.r, parti);
        remplis(p, e.x[parti], e.y[parti], e.pointn[parti]);
        if (p.place) {
            if (!place_)
                cles_ = p.cles, valeurs_ = p.valeurs;
            cles_.expand(p.cles);
            valeurs_.expand(p.valeurs);
            place_ = true;
        }
        faites.push_back(std::move(p));
    }
    if (!zolmuet())
        ajouteLignes(lignes, e.r, e.partn);
    ++records;
    for (Piece &p : faites)
        lot.push_back(std::move(p));
}
