// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalutravail.h"

#include <QThread>

#include "kaluimage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Pixels a curve's drawing may reach beyond the box of its points: half a
// pen, its antialiasing, and the painter's half-pixel shift.
const double MARGE_TRAIT = 3;

// Bands per thread: with a few more bands than threads, a thread that ends
// early takes another.
const int BANDES_PAR_FIL = 3;
const int HAUTEUR_MIN = 16; // device rows

struct Etendue {
    int rang, y0, y1; // device rows [y0, y1)
    double cout;
};

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
        for (int b; !estAnnule() && (b = prochaine++) < int(bandes.size());)
            dessineBande(bandes[size_t(b)]);
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
    }
    if (!estAnnule())
        QMetaObject::invokeMethod(this, [this] { emit termine(); }, Qt::QueuedConnection);
    fin.store(true, std::memory_order_release);
}

// The bands, cut where the work of the curves in view (their points, spread
// over their rows) is shared evenly, each with the curves that meet it.
void Travail::decoupe()
{
    const Vue &v = d.vue;
    const qreal ratio = v.ratio;
    const int hauteur = d.fond.height();
    resultat = QImage(d.fond.size(), d.fond.format());
    resultat.setDevicePixelRatio(ratio);
    pixels = resultat.bits();

    const QRectF zone(v.zone());
    std::vector<Etendue> etendues;
    const std::vector<Scene::Element> &el = d.scene->elements;
    const Etats &etats = *d.etats;
    for (size_t r = 0; r < el.size() && !estAnnule(); ++r) {
        const Scene::Element &e = el[r];
        if (!(etats[r] & VISIBLE) || !e.donnees)
            continue;
        const QRectF b = QRectF(v.pixel(e.cles.lower, e.valeurs.lower), v.pixel(e.cles.upper, e.valeurs.upper))
                             .normalized()
                             .adjusted(-MARGE_TRAIT, -MARGE_TRAIT, MARGE_TRAIT, MARGE_TRAIT)
                             .intersected(zone);
        if (b.isEmpty())
            continue;
        const int y0 = std::max(0, int(std::floor(b.top() * ratio)));
        const int y1 = std::min(hauteur, int(std::ceil(b.bottom() * ratio)) + 1);
        if (y0 < y1)
            etendues.push_back({int(r), y0, y1, double(e.donnees->size()) + 1});
    }

    // The work per row, then cuts at equal shares of it.
    std::vector<double> parLigne(size_t(hauteur) + 1, 0);
    double total = 0;
    for (const Etendue &e : etendues) {
        const double parRang = e.cout / (e.y1 - e.y0);
        parLigne[size_t(e.y0)] += parRang;
        parLigne[size_t(e.y1)] -= parRang;
        total += e.cout;
    }
    const int voulues = fils == 1 ? 1 : std::max(1, std::min(fils * BANDES_PAR_FIL, hauteur / HAUTEUR_MIN));
    std::vector<int> coupes{0};
    double densite = 0, cumul = 0;
    for (int y = 0; y < hauteur && int(coupes.size()) < voulues; ++y) {
        densite += parLigne[size_t(y)];
        cumul += densite;
        if (cumul >= total * coupes.size() / voulues && y + 1 - coupes.back() >= HAUTEUR_MIN)
            coupes.push_back(y + 1);
    }
    if (coupes.back() < hauteur)
        coupes.push_back(hauteur);

    bandes.resize(coupes.size() - 1);
    for (size_t b = 0; b < bandes.size(); ++b)
        bandes[b].y0 = coupes[b], bandes[b].y1 = coupes[b + 1];
    for (const Etendue &e : etendues) {
        auto premiere = std::upper_bound(coupes.begin(), coupes.end(), e.y0) - coupes.begin() - 1;
        for (size_t b = size_t(premiere); b < bandes.size() && bandes[b].y0 < e.y1; ++b)
            bandes[b].rangs.push_back(e.rang);
    }
}

void Travail::dessineBande(Bande &b)
{
    // Rows are copied through the pictures' bits: scanLine() would detach,
    // which no two threads may do on one picture at once.
    const size_t ligne = size_t(d.fond.bytesPerLine());
    auto copie = [ligne](uchar *vers, const uchar *de, int y0, int y1) {
        std::memcpy(vers + y0 * ligne, de + y0 * ligne, (y1 - y0) * ligne);
    };
    if (b.rangs.empty()) {
        copie(pixels, d.fond.constBits(), b.y0, b.y1);
        return;
    }
    // A picture of the full size, of which only the rows near the band are
    // ever touched (its memory is not, elsewhere): the rows its clip may
    // reach hold the plot's picture, the painter draws within them.
    const Vue &v = d.vue;
    const qreal ratio = v.ratio;
    const int marge = int(std::ceil(2 * ratio)) + 2;
    const int a = std::max(0, b.y0 - marge), z = std::min(d.fond.height(), b.y1 + marge);
    QImage bande(d.fond.size(), d.fond.format());
    copie(bande.bits(), d.fond.constBits(), a, z);
    bande.setDevicePixelRatio(ratio);
    {
        QCPPainter p(&bande);
        p.setRenderHint(QPainter::HighQualityAntialiasing);
        const QRect zone = v.zone();
        const int haut = int(std::floor(b.y0 / ratio)) - 1, bas = int(std::ceil(b.y1 / ratio)) + 1;
        p.setClipRect(zone);
        p.setClipRect(QRect(zone.left(), haut, zone.width(), bas - haut), Qt::IntersectClip);
        QVector<QPointF> lignes;
        const std::vector<Scene::Element> &el = d.scene->elements;
        const Etats &etats = *d.etats;
        for (int r : b.rangs) {
            if (estAnnule())
                return;
            const Scene::Element &e = el[size_t(r)];
            dessineCourbe(&p, v, *e.donnees, d.scene->habits[size_t(e.habit)], etats[size_t(r)] & CHOISIE,
                          lignes, &e.cles, &e.valeurs);
        }
    }
    copie(pixels, bande.constBits(), b.y0, b.y1);
}
