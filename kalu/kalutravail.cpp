// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalutravail.h"

#include <QThread>

#include "kalucliche.h"
#include "kalureserve.h"

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
// Pixels: a pen of width 1 at most, antialiased (entry R3 of the register in
// kaluacces.h).
const int PORTEE_TRAIT = 4;

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

    // At the user's priority: niced, the threads got a tenth of a core
    // beside any busy process, and a click's exact picture waited seconds.
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
        if (d.partiel() && !d.changees.empty() && !estAnnule())
            empreinte.reset(new Empreinte(d.vue, *d.scene, d.changees, d.fond.size(), cadre()));
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
    partages.clear(); // every band is drawn: their room goes back to the reserve
    reserve::vieillit();
    try {
        if (!estAnnule() && d.partiel() && d.avecSeules && !d.seulesBase.isNull()) {
            // A pixel next to the rectangle may take the colour of one in it.
            courbesSeules = reserve::copie(d.seulesBase);
            if (courbesSeules.isNull())
                throw std::bad_alloc();
            Cliche::separe(d.fond, resultat, courbesSeules, cadre().adjusted(-1, -1, 1, 1));
        } else if (!estAnnule() && d.avecSeules && !d.partiel()) {
            courbesSeules = reserve::image(resultat.size(), resultat.format());
            if (courbesSeules.isNull())
                throw std::bad_alloc();
            courbesSeules.fill(Qt::transparent);
            courbesSeules.setDevicePixelRatio(d.vue.ratio);
            Cliche::separe(d.fond, resultat, courbesSeules, courbesSeules.rect());
        }
        temps_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - debut).count();
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

// The device pixels drawn: the whole picture, or the partial drawing's
// rectangle.
QRect Travail::cadre() const
{
    return d.partiel() ? d.dans.intersected(d.fond.rect()) : d.fond.rect();
}

// The bands: rows or columns, whichever shares the work better (a map may
// be a strip), cut where the work of the curves in view is shared evenly,
// each with the curves that meet it.
void Travail::decoupe()
{
    const Vue &v = d.vue;
    const qreal ratio = v.ratio;
    const int largeur = d.fond.width(), hauteur = d.fond.height();
    resultat =
        d.partiel() ? reserve::copie(d.base) : reserve::image(d.fond.size(), d.fond.format());
    if (resultat.isNull()) // Qt's way of saying memory ran out
        throw std::bad_alloc();
    resultat.setDevicePixelRatio(ratio);
    pixels = resultat.bits();

    const QRectF zone(v.zone());
    const QRect image = cadre();
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
        if (!d.isEmpty() && (!empreinte || empreinte->touche(d)))
            etendues.push_back(
                {int(r), d.left(), d.right() + 1, d.top(), d.bottom() + 1, double(e.points) + 1});
    }

    // Rows or columns, and as many bands as threads or up to BANDES_PAR_FIL
    // times more: the cut the estimate finds fastest.
    // The cuts are made along the drawn pixels alone.
    auto debutDe = [&image](bool enLignes) { return enLignes ? image.top() : image.left(); };
    std::vector<int> c{debutDe(lignes), lignes ? image.bottom() + 1 : image.right() + 1};
    if (fils > 1 && !image.isEmpty()) {
        const size_t pas = std::max<size_t>(1, etendues.size() / 20000);
        double meilleure = -1;
        for (bool enLignes : {true, false}) {
            std::vector<double> travail =
                repartition(etendues, enLignes, enLignes ? hauteur : largeur);
            const int debut = debutDe(enLignes);
            travail.erase(travail.begin(), travail.begin() + debut);
            travail.resize(size_t(enLignes ? image.height() : image.width()));
            for (int k = 1; k <= BANDES_PAR_FIL; ++k) {
                std::vector<int> essai = coupes(travail, fils * k);
                for (int &coupe : essai)
                    coupe += debut;
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
        const size_t premiere = size_t(std::upper_bound(c.begin(), c.end(), a) - c.begin() - 1);
        size_t b = premiere;
        for (; b < bandes.size() && bandes[b].debut < z; ++b)
            bandes[b].rangs.push_back(e.rang);
        if (b > premiere + 1 && aPartager(el[size_t(e.rang)].points))
            partages.emplace_back(e.rang);
    }
}

// A band that meets a huge ring shared with others takes its Decoupe, made
// by the first one there.
const Decoupe *Travail::partage(int rang, const Scene::Element &e, bool choisie)
{
    if (partages.empty() || !aPartager(e.points))
        return nullptr;
    for (Partage &p : partages) {
        if (p.rang == rang) {
            std::call_once(p.fait, [&] {
                faitDecoupe(d.vue, *e.donnees, d.scene->habits[size_t(e.habit)], choisie,
                            &p.decoupe, &e.cles, &e.valeurs);
            });
            return &p.decoupe;
        }
    }
    return nullptr;
}

// What a Finition's task works on and makes: the task holds it, not the
// Finition, which may go first. `proprietaire` is cleared under `verrou`
// by the Finition's destructor, so that the task never tells a deleted one.
struct Finition::Tache {
    QImage fond, image;
    std::shared_ptr<const Scene> scene;
    std::atomic<bool> annulee{false};
    std::atomic<bool> fin{false};
    QImage seules;
    std::shared_ptr<const Index> grille;
    std::mutex verrou;
    Finition *proprietaire = nullptr;
};

Finition::Finition(QImage fond, QImage image, std::shared_ptr<const Scene> scene)
    : image_(image), scene_(scene), tache(std::make_shared<Tache>())
{
    tache->fond = std::move(fond);
    tache->image = std::move(image);
    tache->scene = std::move(scene);
    tache->proprietaire = this;
    std::shared_ptr<Tache> t = tache;
    Atelier::le().confie([t](Travail::Poste &) { fais(*t); });
}

Finition::~Finition()
{
    annule();
    std::lock_guard<std::mutex> l(tache->verrou);
    tache->proprietaire = nullptr;
}

void Finition::annule()
{
    tache->annulee.store(true, std::memory_order_relaxed);
}

const QImage &Finition::seules() const
{
    return tache->seules;
}

const std::shared_ptr<const Index> &Finition::index() const
{
    return tache->grille;
}

bool Finition::acheve() const
{
    return tache->fin.load(std::memory_order_acquire);
}

// Looks at the cancel flag before each step: the index of a million curves
// takes tens of ms.
void Finition::fais(Tache &t)
{
    try {
        if (!t.annulee.load(std::memory_order_relaxed)) {
            QImage seules(t.image.size(), t.image.format());
            if (seules.isNull())
                throw std::bad_alloc();
            seules.fill(Qt::transparent);
            seules.setDevicePixelRatio(t.image.devicePixelRatio());
            Cliche::separe(t.fond, t.image, seules, seules.rect());
            t.seules = std::move(seules);
        }
        if (!t.annulee.load(std::memory_order_relaxed))
            t.grille = std::make_shared<const Index>(*t.scene);
    } catch (const std::bad_alloc &) {
        t.annulee.store(true,
                        std::memory_order_relaxed); // no termine(): the picture stays without them
    }
    // The queued call goes with its receiver: a Finition deleted before it
    // comes is never told.
    std::lock_guard<std::mutex> l(t.verrou);
    t.fin.store(true, std::memory_order_release);
    if (t.proprietaire && !t.annulee.load(std::memory_order_relaxed)) {
        Finition *f = t.proprietaire;
        QMetaObject::invokeMethod(
            f, [f] { emit f->termine(); }, Qt::QueuedConnection);
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

void Travail::dessineBande(const Bande &b, Poste &poste)
{
    const QRect image = d.fond.rect(), dessin = cadre();
    const QRect exacte = lignes ? QRect(dessin.left(), b.debut, dessin.width(), b.fin - b.debut)
                                : QRect(b.debut, dessin.top(), b.fin - b.debut, dessin.height());
    if (exacte.isEmpty())
        return;
    if (b.rangs.empty()) {
        copieDessin(pixels, d.fond.constBits(), exacte);
        return;
    }
    // A picture of the full size, of which only the pixels near the band are
    // ever touched: those its clip may reach hold the plot's picture, the
    // painter draws within them (entries R3 and R4 of the register in
    // kaluacces.h).
    const Vue &v = d.vue;
    const qreal ratio = v.ratio;
    const int marge = int(std::ceil(2 * ratio)) + 2;
    QImage &brouillon = poste.brouillon;
    if (brouillon.size() != d.fond.size() || brouillon.format() != d.fond.format())
        brouillon = QImage(d.fond.size(), d.fond.format());
    if (brouillon.isNull())
        throw std::bad_alloc();
    copie(brouillon.bits(), d.fond.constBits(),
          exacte.adjusted(-marge, -marge, marge, marge).intersected(image));
    brouillon.setDevicePixelRatio(ratio);
    {
        QCPPainter p(&brouillon);
        p.setRenderHints(d.indices);
        p.setModes(d.modes);
        // The band's pixels, and a partial drawing's across too, within
        // whole pixels a little wider: the clip leaves the pixels it keeps
        // as they would be without it.
        QRect zone = v.zone();
        if (d.partiel()) {
            const int g = int(std::floor(dessin.left() / ratio)) - 1,
                      h = int(std::floor(dessin.top() / ratio)) - 1,
                      dr = int(std::ceil((dessin.right() + 1) / ratio)) + 1,
                      bs = int(std::ceil((dessin.bottom() + 1) / ratio)) + 1;
            zone &= QRect(QPoint(g, h), QPoint(dr, bs));
        }
        const int a = int(std::floor(b.debut / ratio)) - 1, z = int(std::ceil(b.fin / ratio)) + 1;
        p.setClipRect(v.zone());
        p.setClipRect(lignes ? QRect(zone.left(), a, zone.width(), z - a)
                             : QRect(a, zone.top(), z - a, zone.height()),
                      Qt::IntersectClip);
        // Beyond the clip by more than a pen and its antialiasing reach.
        Tranche t;
        t.lignes = lignes;
        t.debut = a - PORTEE_TRAIT;
        t.fin = z + PORTEE_TRAIT;
        // The scene's curves as dessineRangs draws them, the shared ones
        // from their Decoupe.
        const Scene &scene = *d.scene;
        for (int r : b.rangs) {
            if (estAnnule())
                return;
            const Scene::Element &e = scene.elements[size_t(r)];
            const bool choisie = (*d.etats)[size_t(r)] & CHOISIE;
            dessineCourbe(&p, v, *e.donnees, scene.habits[size_t(e.habit)], choisie, poste.lignes,
                          &e.cles, &e.valeurs, &t, partage(r, e, choisie));
        }
    }
    copieDessin(pixels, brouillon.constBits(), exacte);
}

// Copies what is drawn of the device pixels `r`: all of them, or those of
// the footprint's tiles.
void Travail::copieDessin(uchar *vers, const uchar *de, const QRect &r) const
{
    if (!empreinte) {
        copie(vers, de, r);
        return;
    }
    for (const QRect &t : empreinte->rectangles()) {
        const QRect c = t.intersected(r);
        if (!c.isEmpty())
            copie(vers, de, c);
    }
}
