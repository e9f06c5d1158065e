// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalutravail.h"

#include <QThread>

#include "kaluimage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Bands per thread: with a few more bands than threads, a thread that ends
// early takes another.
const int BANDES_PAR_FIL = 3;
const int EPAISSEUR_MIN = 4; // device pixels

// A curve in view: its rank, the device pixels its drawing may reach
// ([x0, x1) x [y0, y1)), and its work.
struct Etendue {
    int rang, x0, x1, y0, y1;
    double cout;
};

// The work of the curves in view along rows (or columns): each curve's
// points spread evenly over its span.
std::vector<double> repartition(const std::vector<Etendue> &etendues, bool lignes, int taille)
{
    std::vector<double> variation(size_t(taille) + 1, 0);
    for (const Etendue &e : etendues) {
        const int a = lignes ? e.y0 : e.x0, b = lignes ? e.y1 : e.x1;
        variation[size_t(a)] += e.cout / (b - a);
        variation[size_t(b)] -= e.cout / (b - a);
    }
    std::vector<double> travail(variation.size() - 1);
    double densite = 0;
    for (size_t i = 0; i < travail.size(); ++i)
        travail[i] = densite += variation[i];
    return travail;
}

// Cuts [0, taille) in `voulues` parts of equal work.
std::vector<int> coupes(const std::vector<double> &travail, int voulues)
{
    double total = 0;
    for (double t : travail)
        total += t;
    const int taille = int(travail.size());
    std::vector<int> c{0};
    double cumul = 0;
    for (int i = 0; i < taille && int(c.size()) < voulues; ++i) {
        cumul += travail[size_t(i)];
        if (cumul >= total * double(c.size()) / voulues && i + 1 - c.back() >= EPAISSEUR_MIN)
            c.push_back(i + 1);
    }
    if (c.back() < taille)
        c.push_back(taille);
    return c;
}

// The time `fils` threads would take on the bands cut at `c`, in points. A
// curve costs every band it meets half its points (the painter walks them
// all, whatever the clip), and the other half shared as its span is:
// a map of a few huge rings gains from few bands, one of many small parts
// from many. Every `pas`-th curve stands for the others.
double duree(const std::vector<Etendue> &etendues, bool lignes, const std::vector<int> &c, int fils, size_t pas)
{
    std::vector<double> travail(c.size() - 1, 0);
    for (size_t i = 0; i < etendues.size(); i += pas) {
        const Etendue &e = etendues[i];
        const int a = lignes ? e.y0 : e.x0, z = lignes ? e.y1 : e.x1;
        for (size_t k = size_t(std::upper_bound(c.begin(), c.end(), a) - c.begin() - 1);
             k < travail.size() && c[k] < z; ++k) {
            const int dedans = std::min(z, c[k + 1]) - std::max(a, c[k]);
            travail[k] += e.cout * (0.5 + 0.5 * dedans / (z - a));
        }
    }
    double total = 0, plus = 0;
    for (double t : travail)
        total += t, plus = std::max(plus, t);
    return std::max(plus, total / fils) * pas;
}

} // namespace

int Travail::filsParDefaut()
{
    return std::max(1, QThread::idealThreadCount());
}

Travail::Travail(Demande demande, int fils) : d(std::move(demande)), fils(std::max(1, fils))
{
    chef = std::thread([this] { travaille(); });
}

Travail::~Travail()
{
    annule();
    attends();
}

void Travail::attends()
{
    if (chef.joinable())
        chef.join();
}

void Travail::travaille()
{
    if (d.avecIndex && !estAnnule())
        grille = std::make_shared<const Index>(*d.scene);
    decoupe();
    std::vector<std::thread> aides;
    auto boucle = [this] {
        QImage brouillon; // one per thread, its memory touched once
        for (int b; !estAnnule() && (b = prochaine++) < int(bandes.size());)
            dessineBande(bandes[size_t(b)], brouillon);
    };
    const int n = std::min(fils, int(bandes.size()));
    for (int k = 1; k < n; ++k)
        aides.emplace_back(boucle);
    boucle();
    for (std::thread &t : aides)
        t.join();
    if (!estAnnule()) {
        courbesSeules = QImage(resultat.size(), resultat.format());
        courbesSeules.fill(Qt::transparent);
        courbesSeules.setDevicePixelRatio(d.vue.ratio);
        Cliche::separe(d.fond, resultat, courbesSeules, courbesSeules.rect());
        QMetaObject::invokeMethod(this, [this] { emit termine(); }, Qt::QueuedConnection);
    }
    fin.store(true, std::memory_order_release);
}

// The bands: rows or columns, whichever shares the work better (a map may
// be a strip), cut where the work of the curves in view is shared evenly,
// each with the curves that meet it.
void Travail::decoupe()
{
    const Vue &v = d.vue;
    const qreal ratio = v.ratio;
    const int largeur = d.fond.width(), hauteur = d.fond.height();
    resultat = QImage(d.fond.size(), d.fond.format());
    resultat.setDevicePixelRatio(ratio);
    pixels = resultat.bits();

    const QRectF zone(v.zone());
    const QRect image(0, 0, largeur, hauteur);
    std::vector<Etendue> etendues;
    const std::vector<Scene::Element> &el = d.scene->elements;
    const Etats &etats = *d.etats;
    for (size_t r = 0; r < el.size() && !estAnnule(); ++r) {
        const Scene::Element &e = el[r];
        if (!(etats[r] & VISIBLE) || !e.donnees)
            continue;
        const QRectF b = portee(v, e.cles, e.valeurs).intersected(zone);
        if (b.isEmpty())
            continue;
        const QRect d = v.enDevice(b).intersected(image);
        if (!d.isEmpty())
            etendues.push_back({int(r), d.left(), d.right() + 1, d.top(), d.bottom() + 1, double(e.points) + 1});
    }

    // Rows or columns, and as many bands as threads or up to BANDES_PAR_FIL
    // times more: the cut the estimate finds fastest.
    std::vector<int> c{0, lignes ? hauteur : largeur};
    if (fils > 1) {
        const size_t pas = std::max<size_t>(1, etendues.size() / 20000);
        double meilleure = -1;
        for (bool enLignes : {true, false}) {
            const std::vector<double> travail = repartition(etendues, enLignes, enLignes ? hauteur : largeur);
            for (int k = 1; k <= BANDES_PAR_FIL; ++k) {
                std::vector<int> essai = coupes(travail, fils * k);
                const double d = duree(etendues, enLignes, essai, fils, pas);
                if (meilleure < 0 || d < meilleure)
                    meilleure = d, c = std::move(essai), lignes = enLignes;
            }
        }
    }
    bandes.resize(c.size() - 1);
    for (size_t b = 0; b < bandes.size(); ++b)
        bandes[b].debut = c[b], bandes[b].fin = c[b + 1];
    for (const Etendue &e : etendues) {
        const int a = lignes ? e.y0 : e.x0, z = lignes ? e.y1 : e.x1;
        for (size_t b = size_t(std::upper_bound(c.begin(), c.end(), a) - c.begin() - 1);
             b < bandes.size() && bandes[b].debut < z; ++b)
            bandes[b].rangs.push_back(e.rang);
    }
}

// Copies the device pixels `r` of `de` into `vers`, pictures of one size
// and format, through their bits: scanLine() would detach, which no two
// threads may do on one picture at once.
void Travail::copie(uchar *vers, const uchar *de, const QRect &r) const
{
    const size_t ligne = size_t(d.fond.bytesPerLine());
    const size_t debut = size_t(r.left()) * 4, octets = size_t(r.width()) * 4;
    for (int y = r.top(); y <= r.bottom(); ++y)
        std::memcpy(vers + y * ligne + debut, de + y * ligne + debut, octets);
}

void Travail::dessineBande(const Bande &b, QImage &brouillon)
{
    const QRect image = d.fond.rect();
    const QRect exacte = lignes ? QRect(0, b.debut, image.width(), b.fin - b.debut)
                                : QRect(b.debut, 0, b.fin - b.debut, image.height());
    if (b.rangs.empty()) {
        copie(pixels, d.fond.constBits(), exacte);
        return;
    }
    // A picture of the full size, of which only the pixels near the band are
    // ever touched: those its clip may reach hold the plot's picture, the
    // painter draws within them.
    const Vue &v = d.vue;
    const qreal ratio = v.ratio;
    const int marge = int(std::ceil(2 * ratio)) + 2;
    if (brouillon.isNull())
        brouillon = QImage(d.fond.size(), d.fond.format());
    copie(brouillon.bits(), d.fond.constBits(),
          (lignes ? exacte.adjusted(0, -marge, 0, marge) : exacte.adjusted(-marge, 0, marge, 0)).intersected(image));
    brouillon.setDevicePixelRatio(ratio);
    {
        QCPPainter p(&brouillon);
        p.setRenderHints(d.indices);
        p.setModes(d.modes);
        const QRect zone = v.zone();
        const int a = int(std::floor(b.debut / ratio)) - 1, z = int(std::ceil(b.fin / ratio)) + 1;
        p.setClipRect(zone);
        p.setClipRect(lignes ? QRect(zone.left(), a, zone.width(), z - a) : QRect(a, zone.top(), z - a, zone.height()),
                      Qt::IntersectClip);
        if (!dessineRangs(&p, v, *d.scene, *d.etats, b.rangs, &annulation))
            return;
    }
    copie(pixels, brouillon.constBits(), exacte);
}
