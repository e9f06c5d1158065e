// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalutravail.h"

#include <QThread>

#include "kaluimage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <functional>
#include <system_error>
#include <thread>

namespace
{

// Bands per thread: with a few more bands than threads, a thread that ends
// early takes another.
const int BANDES_PAR_FIL = 3;
const int EPAISSEUR_MIN = 4; // device pixels
const int PORTEE_TRAIT = 4;  // pixels: a pen of width 1 at most, antialiased

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
// curve costs every band it meets a tenth of its points (each band walks
// them all to leave out those beyond it), and the rest shared as its span
// is. Every `pas`-th curve stands for the others.
double duree(const std::vector<Etendue> &etendues, bool lignes, const std::vector<int> &c, int fils,
             size_t pas)
{
    std::vector<double> travail(c.size() - 1, 0);
    for (size_t i = 0; i < etendues.size(); i += pas) {
        const Etendue &e = etendues[i];
        const int a = lignes ? e.y0 : e.x0, z = lignes ? e.y1 : e.x1;
        for (size_t k = size_t(std::upper_bound(c.begin(), c.end(), a) - c.begin() - 1);
             k < travail.size() && c[k] < z; ++k) {
            const int dedans = std::min(z, c[k + 1]) - std::max(a, c[k]);
            travail[k] += e.cout * (0.1 + 0.9 * dedans / (z - a));
        }
    }
    double total = 0, plus = 0;
    for (double t : travail)
        total += t, plus = std::max(plus, t);
    return std::max(plus, total / fils) * pas;
}

} // namespace

// What a drawing thread keeps from one job to the next: a picture of the
// last size drawn, whose pages are touched once, and room for lines.
struct Travail::Poste {
    QImage brouillon;
    QVector<QPointF> lignes;
};

namespace
{

// The drawing threads, made at the first job and kept: threads started for
// each job, with fresh memory each, spent a fifth of a drawing in page
// faults. A task never waits for another, so that jobs queued behind one
// another can't hold each other up.
class Atelier
{
  public:
    using Tache = std::function<void(Travail::Poste &)>;

    static Atelier &le()
    {
        static Atelier atelier;
        return atelier;
    }

    void confie(Tache t)
    {
        if (fils.empty()) { // no thread could be had: the caller draws
            t(seul);
            return;
        }
        {
            std::lock_guard<std::mutex> l(verrou);
            taches.push_back(std::move(t));
        }
        reveil.notify_one();
    }

  private:
    // A thread the system can't give (under an address-space cap, no room
    // for its stack) is done without: the pool works with those it has,
    // or, with none, on its callers' threads.
    Atelier()
    {
        fils.reserve(size_t(Travail::filsParDefaut()));
        try {
            for (int k = 0; k < Travail::filsParDefaut(); ++k)
                fils.emplace_back([this] { travaille(); });
        } catch (const std::system_error &) {
        }
    }
    ~Atelier()
    {
        {
            std::lock_guard<std::mutex> l(verrou);
            fin = true;
        }
        reveil.notify_all();
        for (std::thread &t : fils)
            t.join();
    }

    void travaille()
    {
        Travail::Poste poste;
        for (;;) {
            Tache t;
            {
                std::unique_lock<std::mutex> l(verrou);
                reveil.wait(l, [this] { return fin || !taches.empty(); });
                if (taches.empty())
                    return;
                t = std::move(taches.front());
                taches.pop_front();
            }
            t(poste);
        }
    }

    std::mutex verrou;
    std::condition_variable reveil;
    std::deque<Tache> taches;
    bool fin = false;
    std::vector<std::thread> fils;
    Travail::Poste seul; // the callers', when there is no thread
};

} // namespace

int Travail::filsParDefaut()
{
    return std::max(1, QThread::idealThreadCount());
}

bool Travail::metDeCote(std::unique_ptr<Travail> &travail,
                        std::vector<std::unique_ptr<Travail>> &arretes)
{
    arretes.erase(std::remove_if(arretes.begin(), arretes.end(),
                                 [](const std::unique_ptr<Travail> &t) { return t->acheve(); }),
                  arretes.end());
    if (!travail)
        return false;
    travail->annule();
    arretes.push_back(std::move(travail));
    return true;
}

Travail::Travail(Demande demande, int fils) : d(std::move(demande)), fils(std::max(1, fils))
{
    Atelier::le().confie([this](Poste &p) { prepare(p); });
}

Travail::~Travail()
{
    annule();
    attends();
}

void Travail::attends()
{
    std::unique_lock<std::mutex> l(verrouFin);
    finie.wait(l, [this] { return fin.load(std::memory_order_acquire); });
}

// The index and the bands, then the drawing on as many threads as it
// takes, this one first.
void Travail::prepare(Poste &poste)
{
    int n = 1, confiees = 0;
    try {
        if (d.avecIndex && !estAnnule())
            grille = std::make_shared<const Index>(*d.scene);
        decoupe();
        n = std::max(1, std::min(fils, int(bandes.size())));
    } catch (const std::bad_alloc &) {
        annule();
    }
    actifs.store(n);
    try {
        for (; confiees < n - 1; ++confiees)
            Atelier::le().confie([this](Poste &p) { boucle(p); });
    } catch (const std::bad_alloc &) {
        annule();
        actifs.fetch_sub(n - 1 - confiees); // the tasks never queued
    }
    boucle(poste);
}

void Travail::boucle(Poste &poste)
{
    try {
        for (int b; !estAnnule() && (b = prochaine++) < int(bandes.size());)
            dessineBande(bandes[size_t(b)], poste);
    } catch (const std::bad_alloc &) {
        annule();
    }
    if (actifs.fetch_sub(1) == 1)
        acheve_();
}

void Travail::acheve_()
{
    try {
        if (!estAnnule() && d.avecSeules) {
            courbesSeules = QImage(resultat.size(), resultat.format());
            if (courbesSeules.isNull())
                throw std::bad_alloc();
            courbesSeules.fill(Qt::transparent);
            courbesSeules.setDevicePixelRatio(d.vue.ratio);
            Cliche::separe(d.fond, resultat, courbesSeules, courbesSeules.rect());
        }
        if (!estAnnule())
            QMetaObject::invokeMethod(
                this, [this] { emit termine(); }, Qt::QueuedConnection);
    } catch (const std::bad_alloc &) {
        annule();
    }
    // Told under the lock: a waiter that sees the end may delete the job,
    // its condition with it, as soon as the lock is free.
    std::lock_guard<std::mutex> l(verrouFin);
    fin.store(true, std::memory_order_release);
    finie.notify_all();
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
    if (resultat.isNull()) // Qt's way of saying memory ran out
        throw std::bad_alloc();
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
            etendues.push_back(
                {int(r), d.left(), d.right() + 1, d.top(), d.bottom() + 1, double(e.points) + 1});
    }

    // Rows or columns, and as many bands as threads or up to BANDES_PAR_FIL
    // times more: the cut the estimate finds fastest.
    std::vector<int> c{0, lignes ? hauteur : largeur};
    if (fils > 1) {
        const size_t pas = std::max<size_t>(1, etendues.size() / 20000);
        double meilleure = -1;
        for (bool enLignes : {true, false}) {
            const std::vector<double> travail =
                repartition(etendues, enLignes, enLignes ? hauteur : largeur);
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

Finition::Finition(QImage fond, QImage image, std::shared_ptr<const Scene> scene)
    : fond(std::move(fond)), image_(std::move(image)), scene_(std::move(scene))
{
    Atelier::le().confie([this](Travail::Poste &) { fais(); });
}

Finition::~Finition()
{
    std::unique_lock<std::mutex> l(verrou);
    finie.wait(l, [this] { return fin; });
}

void Finition::fais()
{
    try {
        seules_ = QImage(image_.size(), image_.format());
        if (seules_.isNull())
            throw std::bad_alloc();
        seules_.fill(Qt::transparent);
        seules_.setDevicePixelRatio(image_.devicePixelRatio());
        Cliche::separe(fond, image_, seules_, seules_.rect());
        grille = std::make_shared<const Index>(*scene_);
        QMetaObject::invokeMethod(
            this, [this] { emit termine(); }, Qt::QueuedConnection);
    } catch (const std::bad_alloc &) {
        // Memory ran out: no termine(); the picture stays without them.
    }
    // Told under the lock, as a job's end is.
    std::lock_guard<std::mutex> l(verrou);
    fin = true;
    finie.notify_all();
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

void Travail::dessineBande(const Bande &b, Poste &poste)
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
    QImage &brouillon = poste.brouillon;
    if (brouillon.size() != d.fond.size() || brouillon.format() != d.fond.format())
        brouillon = QImage(d.fond.size(), d.fond.format());
    if (brouillon.isNull())
        throw std::bad_alloc();
    copie(brouillon.bits(), d.fond.constBits(),
          (lignes ? exacte.adjusted(0, -marge, 0, marge) : exacte.adjusted(-marge, 0, marge, 0))
              .intersected(image));
    brouillon.setDevicePixelRatio(ratio);
    {
        QCPPainter p(&brouillon);
        p.setRenderHints(d.indices);
        p.setModes(d.modes);
        const QRect zone = v.zone();
        const int a = int(std::floor(b.debut / ratio)) - 1, z = int(std::ceil(b.fin / ratio)) + 1;
        p.setClipRect(zone);
        p.setClipRect(lignes ? QRect(zone.left(), a, zone.width(), z - a)
                             : QRect(a, zone.top(), z - a, zone.height()),
                      Qt::IntersectClip);
        // Beyond the clip by more than a pen and its antialiasing reach.
        Tranche t;
        t.lignes = lignes;
        t.debut = a - PORTEE_TRAIT;
        t.fin = z + PORTEE_TRAIT;
        if (!dessineRangs(&p, v, *d.scene, *d.etats, b.rangs, poste.lignes, &annulation, &t))
            return;
    }
    copie(pixels, brouillon.constBits(), exacte);
}
