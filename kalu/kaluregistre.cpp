// SPDX-License-Identifier: GPL-3.0-or-later
#include "kaluregistre.h"

#include "kaluacces.h"
#include "zolplat.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <new>

namespace
{

// The slices in which "Remove all" deletes the curves' objects: on a busy
// machine the scheduler may take a tick or two (4 ms each) from a slice,
// which must still leave the loop well within 20 ms.
const int TRANCHE_MS = 4;

// glibc keeps small freed blocks aside (its fast bins) and sorts them all
// into its free lists at its next large allocation or free: after a
// million curves, the one large free at the end sorted them for 50 ms. A
// large allocation (beyond the small bins and the thread cache) after each
// slice sorts a slice's worth at a time.
void range()
{
    void *volatile bloc = std::malloc(4096);
    std::free(bloc);
}

// Room for the data of the curves one slice deletes, most often enough.
const size_t DONNEES_PAR_TRANCHE = 4096;

// Room for `n` elements in `v`, its pages had at once, before its
// elements are moved there: a lot of tens of thousands of elements is most
// often a mapping new to the process, whose pages would come one fault at
// a time as it is filled, 10 to 20 ms of the GUI thread.
void faitPlace(std::vector<Scene::Element> &v, size_t n)
{
    if (n <= v.capacity())
        return;
    std::vector<Scene::Element> w;
    w.reserve(n);
    zolplat_peuple(w.data(), n * sizeof(Scene::Element));
    w.insert(w.end(), std::make_move_iterator(v.begin()), std::make_move_iterator(v.end()));
    v.swap(w);
}

// The fewest curves the lists a curve joins are given room for at once.
const size_t LISTES_MIN = size_t(1) << 16;

// The most curves room is made for at once beyond those there are.
const size_t PREVISION_MAX = size_t(1) << 20;

} // namespace

Registre::Registre(QCustomPlot *plot, QCPLayer *couche, Courbe::Tutelle *carte)
    : plot(plot), naissance_(plot->layer(QStringLiteral("main"))), couche(couche), carte(carte),
      porteur(nouveauPorteur())
{
    balayeur.setInterval(0);
    QObject::connect(&balayeur, &QTimer::timeout, &balayeur, [this] { jette(); });
}

// The curves left in the bin go with their holder, a child of the plot,
// once the plot's layers are gone.
Registre::~Registre()
{
    for (Courbe *c : courbes_)
        if (c)
            c->carte = nullptr;
    for (size_t k = jetes; k < corbeille.size(); ++k)
        lache(corbeille[k]);
}

// The curve forgets its map and its layer, whose lists let it go already.
void Registre::lache(Courbe *c)
{
    if (c) {
        c->carte = nullptr;
        acces::oublieCouche(c);
    }
}

// Qt finds a child in its parent's list from the front on every
// reparenting and deletion: with the curves kept apart, the plot's own list
// stays short.
QObject *Registre::nouveauPorteur()
{
    QObject *p = new QObject(plot);
    p->setObjectName(QStringLiteral("courbes"));
    placeListesFaite = 0; // the lists' room is made for each holder
    return p;
}

void Registre::Etendue::ajoute(const QCPRange &cles, const QCPRange &valeurs)
{
    if (!trouvee)
        x = cles, y = valeurs;
    x.expand(cles);
    y.expand(valeurs);
    trouvee = true;
}

// The library searches the whole list of plottables before it appends each
// new one: each curve registers in an empty list instead and is moved at
// once behind the others; the list is whole again, in creation order, at
// finAjouts.
void Registre::debutAjouts(bool fichier)
{
    if (ajouts_)
        return;
    ajouts_ = true;
    deja.swap(acces::plottables(plot));
    if (!fichier)
        return;
    if (trous > 0)
        compacte();
    // A holder per lot of adds: a file that takes its curves back has them
    // at the front of their parent's list, where Qt finds them at once.
    if (!porteur->children().isEmpty()) {
        anciens.push_back(porteur);
        porteur = nouveauPorteur();
    }
    premierPorte = courbes_.size();
}

// Room for the curve is made before it is, and the curve, once made, is
// registered by steps that each either succeed or change nothing; should
// one fail, the curve is unregistered and deleted: the registry is left as
// it was.
Courbe *Registre::ajoute(const QCPRange &cles, const QCPRange &valeurs, bool place)
{
    if (courbes_.size() == courbes_.capacity())
        grandit();
    // Born on the current layer, which must be a short one.
    QCPLayer *avant = plot->currentLayer();
    if (avant != naissance_)
        plot->setCurrentLayer(naissance_);
    Courbe *c = nullptr;
    try {
        c = new Courbe(plot->xAxis, plot->yAxis, cles, valeurs);
    } catch (...) {
        plot->setCurrentLayer(avant);
        throw;
    }
    if (avant != naissance_)
        plot->setCurrentLayer(avant);
    QList<QCPAbstractPlottable *> &liste = acces::plottables(plot);
    try {
        if (ajouts_) {
            deja.append(c);
            liste.removeLast();
        }
        acces::demenage(c, couche);
    } catch (...) {
        defait(c);
        throw;
    }
    // Qt's object tree is not safe against a failed allocation: once moved,
    // the curve can't be unregistered cleanly, so this is the last step that
    // may fail.
    c->setParent(porteur);
    c->carte = carte;
    c->placee = place;
    if (place)
        etendue_.ajoute(cles, valeurs);
    c->rang = int(courbes_.size());
    courbes_.push_back(c);
    ++structure_;
    return c;
}

// A curve made but not registered: out of the plot's lists and its layer's,
// then deleted.
void Registre::defait(Courbe *c)
{
    (ajouts_ && !deja.isEmpty() && deja.last() == c ? deja : acces::plottables(plot)).removeOne(c);
    acces::enfants(couche).removeOne(c);
    acces::enfants(c->layer()).removeOne(c);
    acces::oublieCouche(c);
    delete c;
}

// Should the scene fail to grow, the scene under way is dropped (the one
// asked for later is made from the curves): the curve stays registered.
void Registre::inscrit(Courbe *c)
{
    try {
        if (!suite && c->rang == 0) {
            suite = Scene::nouvelle();
            suite->elements.reserve(courbes_.capacity());
        }
        if (suite && size_t(c->rang) == suite->elements.size() && c->carte == carte) {
            suite->inscrit(*c);
            if (recentes) {
                std::vector<Scene::Element> &r = recentes->elements;
                if (r.size() == r.capacity())
                    faitPlace(r, 2 * r.size() + 64);
                r.push_back(suite->elements.back());
            }
            return;
        }
    } catch (...) {
        suite.reset();
        recentes.reset();
        throw;
    }
    suite.reset();
    recentes.reset();
}

void Registre::finAjouts()
{
    if (!ajouts_)
        return;
    QList<QCPAbstractPlottable *> &liste = acces::plottables(plot);
    deja.append(liste);
    liste.swap(deja);
    deja.clear();
    ajouts_ = false;
}

// A sixteenth more than foretold, so that a forecast a little short of
// the end doesn't copy them all again; but never more than twice the
// curves there are or a million more, whatever the forecast says: room for
// a billion curves foretold by a damaged count would take the memory the
// curves need. Room that would grow by less than an eighth is left to the
// adds, which grow to the forecast then, so that a forecast held back by
// that bound doesn't copy them all again at every lot. Each copy of a
// million curves' list and scene holds both the old room and the new at
// once: a quarter more than foretold, then a copy when the forecast rose,
// made a load's peak 130 MB above its curves.
void Registre::prevoit(size_t courbes)
{
    prevues = courbes;
    const size_t place = courbes_.capacity();
    if (courbes > place) {
        const size_t voulue = avecMarge(courbes);
        if (voulue >= place + place / 8) {
            fairePlace(voulue);
            return; // the lists at the next forecast, not in the same turn
        }
    }
    // The registry may keep the room of an earlier load; the lists begin
    // anew with each (a new holder, the plot emptied).
    placeListes(std::min(courbes_.capacity(), avecMarge(courbes)));
}

size_t Registre::plafond() const
{
    return std::max(2 * courbes_.size(), courbes_.size() + PREVISION_MAX);
}

// The forecast and its sixteenth, within the bound.
size_t Registre::avecMarge(size_t courbes) const
{
    const size_t p = std::min(courbes, plafond());
    return std::min(p + p / 16, plafond());
}

// The list and the scene being built grow together: the scene's own
// doubling, a million curves in, took 56 MB more than it needed.
void Registre::fairePlace(size_t courbes)
{
    courbes_.reserve(courbes);
    if (suite)
        suite->elements.reserve(courbes);
}

// The lists each new curve joins, the plot's, its layer's and its holder's
// children, grown by Qt's doublings: each copy of a million pointers went
// to fresh memory within one turn of the event loop, whose pages came one
// fault at a time (stalls of 20 to 30 ms); room made once is written as
// the curves come. Made again only short of room, and then by an eighth
// at least: the forecast creeps up from slice to slice, and each reserve
// of a QList is a copy of it. Lists of fewer curves are left to Qt's
// doublings, whose copies are small.
void Registre::placeListes(size_t courbes)
{
    if (courbes <= placeListesFaite || courbes < LISTES_MIN)
        return;
    courbes = std::max(courbes, placeListesFaite + placeListesFaite / 8);
    placeListesFaite = courbes;
    const int venir = int(courbes - std::min(courbes, courbes_.size()));
    QList<QCPAbstractPlottable *> &liste = ajouts_ ? deja : acces::plottables(plot);
    liste.reserve(liste.size() + venir);
    QList<QCPLayerable *> &enfants = acces::enfants(couche);
    enfants.reserve(enfants.size() + venir);
    QObjectList &portes = acces::enfantsQt(porteur);
    portes.reserve(portes.size() + venir);
}

// Past the room made: to the forecast if the adds are still short of it,
// by an eighth at least, so that the copies stay few.
void Registre::grandit()
{
    const size_t n = courbes_.size();
    if (prevues <= n) {
        fairePlace(std::max<size_t>(64, 2 * n));
        return;
    }
    fairePlace(std::max(n + n / 8 + 1, avecMarge(prevues)));
}

Courbe *Registre::courbe(int r) const
{
    return r >= 0 && size_t(r) < courbes_.size() ? courbes_[size_t(r)] : nullptr;
}

bool Registre::oublie(int r)
{
    suite.reset();
    recentes.reset();
    etendueExacte = false;
    if (!courbe(r))
        return false;
    courbes_[size_t(r)] = nullptr;
    ++trous;
    return true;
}

void Registre::compacte()
{
    sansEntree_ = size_t(std::count_if(courbes_.begin(),
                                       courbes_.begin() + std::min(sansEntree_, courbes_.size()),
                                       [](const Courbe *c) { return c != nullptr; }));
    courbes_.erase(std::remove(courbes_.begin(), courbes_.end(), nullptr), courbes_.end());
    suite.reset();
    recentes.reset();
    for (size_t i = 0; i < courbes_.size(); ++i)
        courbes_[i]->rang = int(i);
    trous = 0;
    ++structure_;
    ++rangs_;
}

void Registre::resserre()
{
    if (trous > int(courbes_.size()) / 2)
        compacte();
}

// The plot and the layer let the curves go at once, in linear time; the
// curves' objects are deleted a slice at a time from the event loop (jette),
// their data freed off the GUI thread with the scenes.
// A million curves visited one by one cost the GUI thread a tenth of a
// second: the plot and the layer let them go by clearing their lists, the
// bin takes the ranks as they are.
void Registre::vide()
{
    // While curves are being added the plot's list is set aside: it is
    // emptied whole, and the adds go on into an empty map.
    if (ajouts_) {
        finAjouts();
        vide();
        debutAjouts();
        return;
    }
    QList<QCPAbstractPlottable *> &liste = acces::plottables(plot);
    const size_t restantes = courbes_.size() - size_t(trous);
    // What may fail comes first, when nothing has changed yet.
    corbeille.reserve(corbeille.size() + courbes_.size());
    porteurs.reserve(porteurs.size() + anciens.size() + 1);
    QObject *nouveau = restantes > 0 ? nouveauPorteur() : nullptr;
    acces::enfants(couche).clear();
    if (size_t(liste.size()) == restantes) {
        liste.clear();
    } else { // plottables of other kinds: the library's way
        for (Courbe *c : courbes_)
            if (c)
                liste.removeOne(c);
        while (plot->plottableCount() > 0)
            plot->removePlottable(0);
    }
    if (corbeille.empty())
        corbeille.swap(courbes_);
    else
        corbeille.insert(corbeille.end(), courbes_.begin(), courbes_.end());
    courbes_.clear();
    prevues = 0;
    suite.reset();
    recentes.reset();
    etendue_ = Etendue();
    etendueExacte = true;
    trous = 0;
    sansEntree_ = 0;
    ++structure_;
    ++rangs_;
    if (restantes > 0) {
        // New curves get a new holder, so that the bin's curves are deleted
        // from the front of their parent's list.
        porteurs.insert(porteurs.end(), anciens.begin(), anciens.end());
        anciens.clear();
        porteurs.push_back(porteur);
        porteur = nouveau;
        premierPorte = 0;
        balayeur.start();
    }
}

void Registre::retireDepuis(size_t debut)
{
    if (debut >= courbes_.size())
        return;
    QList<QCPLayerable *> &enfants = acces::enfants(couche);
    QList<QCPAbstractPlottable *> &liste = ajouts_ ? deja : acces::plottables(plot);
    // What may fail comes first, when nothing has changed yet: a file
    // taken back when memory ran out must be taken back whole.
    corbeille.reserve(corbeille.size() + (courbes_.size() - debut));
    porteurs.reserve(porteurs.size() + 1);
    QObject *nouveau = debut <= premierPorte ? nouveauPorteur() : nullptr;
    // The last made are last in the lists: taken from their ends. The bin
    // deletes them in their order, from the front of their parent's list.
    const size_t avant = corbeille.size();
    for (size_t r = courbes_.size(); r-- > debut;) {
        Courbe *c = courbes_[r];
        if (!c) {
            --trous;
            continue;
        }
        if (!enfants.isEmpty() && enfants.last() == c)
            enfants.removeLast();
        else
            enfants.removeOne(c);
        if (!liste.isEmpty() && liste.last() == c)
            liste.removeLast();
        else
            liste.removeOne(c);
        corbeille.push_back(c);
    }
    std::reverse(corbeille.begin() + std::ptrdiff_t(avant), corbeille.end());
    courbes_.resize(debut);
    prevues = 0;
    if (suite && suite->elements.size() > debut)
        suite->elements.resize(debut);
    recentes.reset();
    etendueExacte = false;
    sansEntree_ = std::min(sansEntree_, debut);
    ++structure_;
    if (nouveau) {
        porteurs.push_back(porteur);
        porteur = nouveau;
        premierPorte = debut;
    }
    balayeur.start();
}

// The curves' data are made on the reader's thread, so their blocks belong
// to that thread's heap, whose fast bins range() never sorts: freed here, a
// million curves' small blocks piled up there until one free sorted them
// all at once, 130 ms of the GUI thread. Each slice hands them to the
// thread that frees the scenes instead.
void Registre::jette()
{
    QElapsedTimer t;
    t.start();
    std::shared_ptr<Scene> donnees;
    while (jetes < corbeille.size()) {
        Courbe *c = corbeille[jetes++];
        if (c) {
            confie(donnees, *c);
            lache(c);
            delete c;
        }
        if ((jetes & 63) == 0 && t.elapsed() >= TRANCHE_MS) {
            donnees.reset();
            range();
            return;
        }
    }
    donnees.reset();
    range();
    corbeille.clear();
    jetes = 0;
    qDeleteAll(porteurs);
    porteurs.clear();
    balayeur.stop();
    Scene::rendMemoire();
}

// Memory running out leaves the curve its data, freed with it.
void Registre::confie(std::shared_ptr<Scene> &donnees, const Courbe &c)
{
    try {
        if (!donnees) {
            donnees = Scene::nouvelle();
            donnees->elements.reserve(DONNEES_PAR_TRANCHE);
        }
        Scene::Element e;
        e.donnees = c.data();
        donnees->elements.push_back(std::move(e));
    } catch (const std::bad_alloc &) {
    }
}

const Registre::Etendue &Registre::etendue()
{
    if (!etendueExacte) {
        etendue_ = Etendue();
        for (const Courbe *c : courbes_)
            if (c && c->placee)
                etendue_.ajoute(c->cles, c->valeurs);
        etendueExacte = true;
    }
    return etendue_;
}

std::shared_ptr<const Scene> Registre::scene(bool encore)
{
    std::shared_ptr<const Scene> s;
    if (suite && suite->elements.size() == courbes_.size()) {
        if (encore) {
            std::shared_ptr<Scene> copie = Scene::nouvelle();
            copie->habits = suite->habits;
            copie->dessinable = suite->dessinable;
            copie->elements.reserve(std::max(courbes_.capacity(), suite->elements.size()));
            copie->elements = suite->elements;
            s = std::move(suite);
            suite = std::move(copie);
            return s;
        }
        s = std::move(suite);
    } else {
        s = Scene::fait(courbes_);
    }
    suite.reset();
    recentes.reset();
    return s;
}

// The curves inscribed since the last lot were copied as they came, while
// at hand: a lot of tens of thousands reached afterwards, all over the
// heap, cost the GUI thread tens of ms. Those beyond the budget wait there
// for the next lot.
std::shared_ptr<Scene> Registre::lot(size_t debut, long points, const Apres &apres)
{
    // Room for the elements that follow the last curve in the same lot,
    // made with the lot's own: the lot is exactly sized, and grown by the
    // caller it would be moved whole, on pages new to it.
    const auto place = [&](size_t fin, size_t n) {
        return fin == courbes_.size() && apres ? n + apres(points) : n;
    };
    // The lot may begin past the first of them: the pictures drew the
    // parts announced after the curves of the last lot, whose curves came
    // since. Those are let go, the others moved, never copied again.
    if (recentes && premiereRecente <= debut && debut <= courbes_.size() &&
        premiereRecente + recentes->elements.size() == courbes_.size()) {
        std::vector<Scene::Element> &recues = recentes->elements;
        const size_t saute = debut - premiereRecente;
        const size_t n = Scene::dansBudget(recues, saute, recues.size(), points);
        std::shared_ptr<Scene> s = Scene::nouvelle();
        if (saute == 0 && n == recues.size()) {
            s.swap(recentes); // the rest, none, from a new scene
            faitPlace(s->elements, place(debut + n, n));
            reserveRecentes(n);
        } else {
            const auto d = recues.begin() + std::ptrdiff_t(saute);
            faitPlace(s->elements, place(debut + n, n));
            s->elements.assign(std::make_move_iterator(d),
                               std::make_move_iterator(d + std::ptrdiff_t(n)));
            recues.erase(recues.begin(), d + std::ptrdiff_t(n));
            if (n > 0)
                dernierLot = n;
        }
        s->habits = suite->habits;
        s->dessinable = suite->dessinable;
        premiereRecente = debut + n;
        return s;
    }
    std::shared_ptr<Scene> s = Scene::nouvelle();
    const bool copies = suite && suite->elements.size() >= courbes_.size();
    if (copies) {
        s->habits = suite->habits;
        s->dessinable = suite->dessinable;
        // Counted first: grown element by element, a lot of a hundred
        // thousand curves was copied again at every doubling, on pages new
        // each time.
        const size_t de = std::min(debut, courbes_.size());
        const size_t n = Scene::dansBudget(suite->elements, de, courbes_.size(), points);
        const auto d = suite->elements.begin() + std::ptrdiff_t(de);
        faitPlace(s->elements, place(de + n, n));
        s->elements.assign(d, d + std::ptrdiff_t(n));
    } else {
        for (size_t r = debut; r < courbes_.size() && points > 0; ++r) {
            if (courbes_[r])
                s->inscrit(*courbes_[r]);
            else
                s->elements.emplace_back();
            points -= Scene::prix(s->elements.back());
        }
    }
    premiereRecente = debut + s->elements.size();
    recentes.reset();
    if (copies && premiereRecente == courbes_.size()) {
        recentes = Scene::nouvelle();
        reserveRecentes(s->elements.size());
    }
    return s;
}

// Room for twice as many curves as the last lot that took any, which the
// next lot most often takes: the copies made as curves come then seldom
// grow.
void Registre::reserveRecentes(size_t lot)
{
    if (lot > 0)
        dernierLot = lot;
    try {
        faitPlace(recentes->elements, 2 * dernierLot);
    } catch (const std::bad_alloc &) {
        // The copies grow as they come instead.
    }
}
