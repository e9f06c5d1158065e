// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalucarte.h"

#include "kaluacces.h"
#include "kalulignes.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

QCPLayer *nouvelleCouche(QCustomPlot *plot, const QString &nom, const QString &dessous)
{
    plot->addLayer(nom, plot->layer(dessous), QCustomPlot::limAbove);
    return plot->layer(nom);
}

// A partial redraw on the GUI thread draws at most this many curves' points;
// beyond, the redraw is a job.
const int POINTS_PARTIEL = 200000;
const int CHANGEES_MAX = 256;

// The slices in which "Remove all" deletes the curves' objects.
const int TRANCHE_MS = 8;

} // namespace

// ---------------------------------------------------------------- Legende

void Legende::ajoute(QCPAbstractLegendItem *item)
{
    if (columnCount() > 1) { // not this window's layout; keep it right
        addItem(item);
        return;
    }
    mElements.append(QList<QCPLayoutElement *>() << item);
    mRowStretchFactors.append(1);
    if (mColumnStretchFactors.isEmpty())
        mColumnStretchFactors.append(1);
    adoptElement(item);
}

void Legende::update(UpdatePhase phase)
{
    if (!visible())
        return;
    if (carte && phase == upPreparation)
        carte->faitEntrees();
    QCPLegend::update(phase);
}

QSize Legende::minimumOuterSizeHint() const
{
    return visible() ? QCPLegend::minimumOuterSizeHint() : QSize(0, 0);
}

QSize Legende::maximumOuterSizeHint() const
{
    return visible() ? QCPLegend::maximumOuterSizeHint() : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

// ----------------------------------------------------------------- Courbe

Courbe::Courbe(QCPAxis *x, QCPAxis *y, const QCPRange &cles, const QCPRange &valeurs)
    : QCPCurve(x, y), cles(cles), valeurs(valeurs)
{
}

// The shared look is not the curve's to delete.
Courbe::~Courbe()
{
    if (carte)
        carte->oublie(rang);
    if (choix)
        mSelectionDecorator = nullptr;
}

void Courbe::partageChoix(std::shared_ptr<QCPSelectionDecorator> d)
{
    delete mSelectionDecorator;
    mSelectionDecorator = d.get();
    choix = std::move(d);
}

double Courbe::selectTest(const QPointF &pos, bool onlySelectable, QVariant *details) const
{
    double distance = -1;
    if (carte && carte->repond(this, pos, onlySelectable, &distance, details))
        return distance;
    return mesure(pos, onlySelectable, details);
}

double Courbe::mesure(const QPointF &pos, bool onlySelectable, QVariant *details) const
{
    if (keyAxis() == nullptr || valueAxis() == nullptr || mDataContainer->isEmpty())
        return QCPCurve::selectTest(pos, onlySelectable, details);
    if (!pres(pos))
        return -1;
    if ((!onlySelectable || selectable() != QCP::stNone) && tient(pos)) {
        if (details)
            sommetProche(pos, details);
        return 0;
    }
    return distance(pos, onlySelectable, details);
}

// Whether `pos` is within the selection tolerance of the box.
bool Courbe::pres(const QPointF &pos) const
{
    const QCPAxis *x = keyAxis(), *y = valueAxis();
    const double marge = mParentPlot->selectionTolerance();
    return QRectF(QPointF(x->coordToPixel(cles.lower), y->coordToPixel(valeurs.lower)),
                  QPointF(x->coordToPixel(cles.upper), y->coordToPixel(valeurs.upper)))
        .normalized()
        .adjusted(-marge, -marge, marge, marge)
        .contains(pos);
}

// A filled ring holds `pos` by the even-odd rule, as it is filled, in the
// axis rectangle.
bool Courbe::tient(const QPointF &pos) const
{
    const QCPAxis *x = keyAxis(), *y = valueAxis();
    if (x == nullptr || y == nullptr || mDataContainer->isEmpty() || brush().style() == Qt::NoBrush ||
        !x->axisRect()->rect().contains(pos.toPoint()))
        return false;
    const double px = x->pixelToCoord(pos.x()), py = y->pixelToCoord(pos.y());
    if (!cles.contains(px) || !valeurs.contains(py))
        return false;
    bool dedans = false;
    auto debut = mDataContainer->constBegin(), fin = mDataContainer->constEnd();
    for (auto a = debut, b = fin - 1; a != fin; b = a++) {
        if ((a->value > py) != (b->value > py) &&
            px < (b->key - a->key) * (py - a->value) / (b->value - a->value) + a->key)
            dedans = !dedans;
    }
    return dedans;
}

// The vertex nearest `pos` on screen, as the clicked point.
void Courbe::sommetProche(const QPointF &pos, QVariant *details) const
{
    bool vueOk = false;
    const Vue v = Vue::de(mKeyAxis.data(), mValueAxis.data(), &vueOk);
    int proche = 0;
    double meilleure = -1;
    const auto debut = mDataContainer->constBegin(), fin = mDataContainer->constEnd();
    for (auto it = debut; it != fin; ++it) {
        const QPointF d = (vueOk ? v.pixel(it->key, it->value) : coordsToPixels(it->key, it->value)) - pos;
        const double d2 = d.x() * d.x() + d.y() * d.y();
        if (meilleure < 0 || d2 < meilleure)
            meilleure = d2, proche = int(it - debut);
    }
    details->setValue(QCPDataSelection(QCPDataRange(proche, proche + 1)));
}

// QCPCurve::selectTest and pointDistance, step for step, with the axes'
// transform inline (a Vue's) and the distance to the lines taken as they
// are made: the library makes them whole first, and on a ring of a million
// points a click's first query then spent a tenth of a second in the new
// memory's page faults.
double Courbe::distance(const QPointF &pos, bool onlySelectable, QVariant *details) const
{
    bool vueOk = false;
    const Vue v = Vue::de(mKeyAxis.data(), mValueAxis.data(), &vueOk);
    if (!vueOk || mDataContainer->size() < 2 || mLineStyle == lsNone)
        return QCPCurve::selectTest(pos, onlySelectable, details);
    if (onlySelectable && mSelectable == QCP::stNone)
        return -1;
    if (!mKeyAxis->axisRect()->rect().contains(pos.toPoint()) &&
        !mParentPlot->interactions().testFlag(QCP::iSelectPlottablesBeyondAxisRect))
        return -1;
    const auto debut = mDataContainer->constBegin(), fin = mDataContainer->constEnd();
    auto proche = fin;
    double minDistSqr = std::numeric_limits<double>::max();
    for (auto it = debut; it != fin; ++it) {
        const double d = QCPVector2D(v.pixel(it->key, it->value) - pos).lengthSquared();
        if (d < minDistSqr)
            minDistSqr = d, proche = it;
    }
    minDistSqr =
        distanceLignes(v, *mDataContainer, mParentPlot->selectionTolerance() * 1.2, pos, minDistSqr, &cles, &valeurs);
    if (details) {
        const int i = int(proche - debut);
        details->setValue(QCPDataSelection(QCPDataRange(i, i + 1)));
    }
    return qSqrt(minDistSqr);
}

void Courbe::selectEvent(QMouseEvent *event, bool additive, const QVariant &details,
                         bool *selectionStateChanged)
{
    QCPCurve::selectEvent(event, additive, details, selectionStateChanged);
    if (carte)
        carte->suspecte(rang);
}

// Most curves of a big map are not selected: nothing to undo, no copy of
// an empty selection.
void Courbe::deselectEvent(bool *selectionStateChanged)
{
    if (!selected()) {
        if (selectionStateChanged)
            *selectionStateChanged = false;
        return;
    }
    QCPCurve::deselectEvent(selectionStateChanged);
    if (carte)
        carte->suspecte(rang);
}

void Courbe::draw(QCPPainter *painter)
{
    bool vueOk = false, habitOk = false, entiere = false;
    const Vue v = Vue::de(mKeyAxis.data(), mValueAxis.data(), &vueOk);
    const Habit h = vueOk ? Habit::de(*this, &habitOk) : Habit();
    const bool choisie = choisieEntiere(*this, &entiere);
    if (!vueOk || !habitOk || !entiere) {
        QCPCurve::draw(painter);
        return;
    }
    static QVector<QPointF> lignes; // GUI thread only; keeps its room
    dessineCourbe(painter, v, *mDataContainer, h, choisie, lignes, &cles, &valeurs);
}

// ------------------------------------------------------------------ Carte

Carte::Carte(QCustomPlot *plot)
    : QCPLayerable(plot), plot(plot), cliche(new Cliche), geste(new Geste(plot))
{
    naissance = plot->layer(QStringLiteral("main"));
    couche = nouvelleCouche(plot, QStringLiteral("courbes"), QStringLiteral("main"));
    setLayer(nouvelleCouche(plot, QStringLiteral("carte"), QStringLiteral("courbes")));
    entrees = nouvelleCouche(plot, QStringLiteral("entrees"), QStringLiteral("legend"));
    // Qt finds a child in its parent's list from the front on every
    // reparenting and deletion: with the curves kept apart, the plot's own
    // list stays short.
    porteur = new QObject(plot);
    porteur->setObjectName(QStringLiteral("courbes"));
    plot->setProperty("kalu-carte", QVariant::fromValue<QObject *>(this));

    connect(plot, &QCustomPlot::beforeReplot, this, &Carte::avantReplot);
    connect(plot, &QCustomPlot::afterReplot, this, &Carte::apresReplot);
    connect(geste.get(), &Geste::commence, this, &Carte::gesteCommence);
    connect(geste.get(), &Geste::fini, this, &Carte::gesteFini);
    plot->installEventFilter(this);
    balayeur.setInterval(0);
    connect(&balayeur, &QTimer::timeout, this, &Carte::jette);
}

// The jobs stop after the curve they draw; the curves left in the bin go
// with their holder, a child of the plot.
Carte::~Carte()
{
    arrete();
    arretes.clear();
    for (Courbe *c : courbes)
        if (c)
            c->carte = nullptr;
    for (std::future<void> &f : liberations)
        f.wait();
}

Carte *Carte::de(QCustomPlot *plot)
{
    return qobject_cast<Carte *>(plot->property("kalu-carte").value<QObject *>());
}

void Carte::setRapide(bool oui)
{
    rapide_ = oui;
    arrete();
    attente = oui && geste->enCours();
}

// The library searches the whole list of plottables before it appends each
// new one: each curve registers in an empty list instead and is moved at
// once behind the others; the list is whole again, in creation order, at
// finAjouts.
void Carte::debutAjouts()
{
    if (ajouts)
        return;
    ajouts = true;
    deja.swap(acces::plottables(plot));
    if (trous > 0)
        compacte();
}

Courbe *Carte::ajoute(const QCPRange &cles, const QCPRange &valeurs, bool place)
{
    // Born on the current layer, which must be a short one.
    QCPLayer *avant = plot->currentLayer();
    if (avant != naissance)
        plot->setCurrentLayer(naissance);
    Courbe *c = new Courbe(plot->xAxis, plot->yAxis, cles, valeurs);
    if (avant != naissance)
        plot->setCurrentLayer(avant);
    QList<QCPAbstractPlottable *> &liste = acces::plottables(plot);
    if (ajouts)
        deja.append(liste.takeLast());
    acces::demenage(c, couche);
    if (enEvenement)
        horsEvenement.append(c);
    c->setParent(porteur);
    c->carte = this;
    c->placee = place;
    if (place)
        etendue.ajoute(cles, valeurs);
    c->rang = int(courbes.size());
    courbes.push_back(c);
    ++structure;
    relire = true;
    return c;
}

void Carte::inscrit(Courbe *c)
{
    if (!suite && c->rang == 0)
        suite = std::make_shared<Scene>();
    if (suite && size_t(c->rang) == suite->elements.size() && c->carte == this)
        suite->inscrit(*c);
    else
        suite.reset();
}

void Carte::finAjouts()
{
    if (!ajouts)
        return;
    QList<QCPAbstractPlottable *> &liste = acces::plottables(plot);
    deja.append(liste);
    liste.swap(deja);
    deja.clear();
    ajouts = false;
}

// The plot, its layers and the legend let the curves go at once, in linear
// time; the curves' objects are deleted a slice at a time from the event
// loop (jette), their data freed off the GUI thread with the scene. Legend
// items are deleted last, once the curves no longer stand before them among
// the plot's children.
void Carte::vide()
{
    arrete();
    cliche->oublie();
    QCPLegend *legend = plot->legend;
    QVector<QCPLayoutElement *> items;
    items.reserve(legend->elementCount());
    for (int i = 0; i < legend->elementCount(); ++i)
        if (QCPLayoutElement *item = legend->takeAt(i))
            items.append(item);
    legend->simplify();

    QList<QCPAbstractPlottable *> &liste = acces::plottables(plot);
    size_t vivantes = 0;
    for (Courbe *c : courbes) {
        if (!c)
            continue;
        c->carte = nullptr;
        acces::oublieCouche(c);
        corbeille.push_back(c);
        ++vivantes;
    }
    acces::enfants(couche).clear();
    horsEvenement.clear(); // the layer's own list, while an event sees candidates
    if (size_t(liste.size()) == vivantes) {
        liste.clear();
    } else { // plottables of other kinds: the library's way
        for (Courbe *c : courbes)
            if (c)
                liste.removeOne(c);
        while (plot->plottableCount() > 0)
            plot->removePlottable(0);
    }
    courbes.clear();
    suite.reset();
    etendue = Etendue();
    trous = 0;
    sansEntree = 0;
    ++structure;
    relire = true;
    if (vivantes > 0) {
        // The bin keeps the old holder; new curves get a new one, so that
        // the bin's curves are deleted from the front of their parent's list.
        corbeille.push_back(porteur);
        porteur = new QObject(plot);
        porteur->setObjectName(QStringLiteral("courbes"));
        balayeur.start();
    }
    qDeleteAll(items);
}

void Carte::jette()
{
    QElapsedTimer t;
    t.start();
    while (jetes < corbeille.size()) {
        delete corbeille[jetes++];
        if ((jetes & 255) == 0 && t.elapsed() >= TRANCHE_MS)
            return;
    }
    corbeille.clear();
    jetes = 0;
    balayeur.stop();
}

void Carte::oublie(int r)
{
    suite.reset();
    election = Election();
    etendue.exacte = false;
    if (r >= 0 && r < int(courbes.size()) && courbes[r]) {
        if (enEvenement)
            horsEvenement.removeOne(courbes[r]);
        courbes[r] = nullptr;
        ++trous;
        suspecte(r);
    }
}

void Carte::suspecte(int r)
{
    suspects.push_back(r);
}

void Carte::compacte()
{
    sansEntree = size_t(std::count_if(courbes.begin(), courbes.begin() + std::min(sansEntree, courbes.size()),
                                      [](const Courbe *c) { return c != nullptr; }));
    courbes.erase(std::remove(courbes.begin(), courbes.end(), nullptr), courbes.end());
    suite.reset();
    for (size_t i = 0; i < courbes.size(); ++i)
        courbes[i]->rang = int(i);
    trous = 0;
    ++structure;
    relire = true;
}

void Carte::recadre()
{
    QCPAxis *x = plot->xAxis, *y = plot->yAxis;
    size_t vivantes = courbes.size() - size_t(trous);
    // Plottables of other kinds, or axes other than linear ones: the
    // library's own way.
    if (size_t(plot->plottableCount()) != vivantes || x->scaleType() != QCPAxis::stLinear ||
        y->scaleType() != QCPAxis::stLinear) {
        plot->rescaleAxes(false);
        return;
    }
    if (!etendue.exacte) {
        etendue = Etendue();
        for (const Courbe *c : courbes)
            if (c && c->placee)
                etendue.ajoute(c->cles, c->valeurs);
    }
    if (!etendue.trouvee)
        return;
    const QCPRange rx = etendue.x, ry = etendue.y;
    // A range of one value is centred in the axis's present size.
    for (auto paire : {std::make_pair(x, rx), std::make_pair(y, ry)}) {
        QCPRange r = paire.second;
        if (!QCPRange::validRange(r)) {
            const double centre = (r.lower + r.upper) * 0.5, taille = paire.first->range().size();
            r.lower = centre - taille / 2.0;
            r.upper = centre + taille / 2.0;
        }
        paire.first->setRange(r);
    }
}

void Carte::accordeSelection()
{
    auto choisit = [this](QCPCurve *c) {
        c->setSelection(QCPDataSelection(QCPDataRange(0, c->dataCount())));
        if (Courbe *k = dynamic_cast<Courbe *>(c); k && k->carte == this)
            suspecte(k->rang);
    };
    // One pass over the legend's items, then over the curves that have none:
    // looking each curve's item up would scan the legend once per curve.
    QCPLegend *legend = plot->legend;
    for (int i = 0; i < legend->itemCount(); ++i) {
        QCPPlottableLegendItem *item = qobject_cast<QCPPlottableLegendItem *>(legend->item(i));
        QCPCurve *curve = item ? qobject_cast<QCPCurve *>(item->plottable()) : nullptr;
        if (curve && (item->selected() || curve->selected())) {
            item->setSelected(true);
            choisit(curve);
        }
    }
    for (int r : choisiesPossibles())
        if (size_t(r) >= sansEntree)
            choisit(courbes[size_t(r)]);
}

void Carte::faitEntrees()
{
    QCPLegend *legend = plot->legend;
    if (legend == nullptr || sansEntree >= courbes.size() || ajouts)
        return;
    Legende *legende = dynamic_cast<Legende *>(legend);
    // An item is born on the plot's current layer and the library moves it
    // at once to the "legend" layer, from which it goes to the items' own.
    QCPLayer *avant = plot->currentLayer();
    plot->setCurrentLayer(naissance);
    for (; sansEntree < courbes.size(); ++sansEntree) {
        Courbe *c = courbes[sansEntree];
        if (!c)
            continue;
        QCPAbstractLegendItem *item = new QCPPlottableLegendItem(legend, c);
        acces::demenage(item, entrees);
        item->setSelected(c->selected());
        if (legende)
            legende->ajoute(item);
        else
            legend->addItem(item);
    }
    plot->setCurrentLayer(avant);
}

void Carte::applyDefaultAntialiasingHint(QCPPainter *painter) const
{
    (void)painter; // each curve applies its own
}

// ------------------------------------------------------ scene and states

// Made again only when curves were added or the ranks compacted; the one it
// replaces is freed off the GUI thread.
const std::shared_ptr<const Scene> &Carte::scene()
{
    if (!scene_ || structureScene != structure) {
        libere(std::move(scene_));
        if (suite && suite->elements.size() == courbes.size())
            scene_ = std::move(suite);
        else
            scene_ = Scene::fait(courbes);
        suite.reset();
        structureScene = structure;
        grille.reset();
    }
    return scene_;
}

// A scene may hold the last reference to a million curves' data: dropping
// it is a million frees.
void Carte::libere(std::shared_ptr<const Scene> s)
{
    if (!s)
        return;
    liberations.erase(std::remove_if(liberations.begin(), liberations.end(),
                                     [](std::future<void> &f) {
                                         return f.wait_for(std::chrono::seconds(0)) ==
                                                std::future_status::ready;
                                     }),
                      liberations.end());
    liberations.push_back(std::async(std::launch::async, [s = std::move(s)]() mutable { s.reset(); }));
}

namespace {

uint8_t etat(const Courbe *c)
{
    if (!c)
        return 0;
    return uint8_t((c->realVisibility() ? VISIBLE : 0) | (c->selected() ? CHOISIE : 0));
}

} // namespace

// On a big map, reading every curve's state (a million objects all over the
// heap) takes tens of milliseconds: only the curves whose state may have
// changed, and the selected ones, are read again.
bool Carte::lectureEntiere() const
{
    return relire || !etats_ || etats_->size() != courbes.size() || courbes.size() <= lecture;
}

// The ranks selected at the last reading and those whose state may have
// changed since, in order, once each.
std::vector<int> Carte::aRelire() const
{
    std::vector<int> r(choisies_);
    r.insert(r.end(), suspects.begin(), suspects.end());
    std::sort(r.begin(), r.end());
    r.erase(std::unique(r.begin(), r.end()), r.end());
    return r;
}

std::shared_ptr<const Etats> Carte::etatsActuels(bool *entiers)
{
    std::shared_ptr<Etats> e;
    if (lectureEntiere()) {
        e = std::make_shared<Etats>(courbes.size(), uint8_t(0));
        choisies_.clear();
        for (size_t r = 0; r < courbes.size(); ++r)
            if (((*e)[r] = etat(courbes[r])) & CHOISIE)
                choisies_.push_back(int(r));
    } else {
        e = std::make_shared<Etats>(*etats_);
        const std::vector<int> lire = aRelire();
        choisies_.clear();
        for (int r : lire)
            if (((*e)[size_t(r)] = etat(courbes[size_t(r)])) & CHOISIE)
                choisies_.push_back(r);
    }
    suspects.clear();
    relire = false;
    *entiers = true;
    for (int r : choisies_) {
        bool ok = true;
        choisieEntiere(*courbes[size_t(r)], &ok);
        *entiers = *entiers && ok;
    }
    etats_ = e;
    return e;
}

// The ranks of the curves selected now, in order: on a big map, among those
// selected at the last reading and those whose state may have changed since.
std::vector<int> Carte::choisiesPossibles() const
{
    std::vector<int> r;
    if (lectureEntiere()) {
        for (size_t k = 0; k < courbes.size(); ++k)
            if (courbes[k] && courbes[k]->selected())
                r.push_back(int(k));
        return r;
    }
    for (int k : aRelire())
        if (size_t(k) < courbes.size() && courbes[size_t(k)] && courbes[size_t(k)]->selected())
            r.push_back(k);
    return r;
}

// ----------------------------------------------------- replot and drawing

void Carte::avantReplot()
{
    if (!rapide_)
        return;
    if (trous > int(courbes.size()) / 2)
        compacte();
    pretees.swap(acces::enfants(couche));
    enReplot = true;
}

void Carte::apresReplot()
{
    if (!enReplot)
        return;
    enReplot = false;
    pretees.swap(acces::enfants(couche));
    if (complete) {
        complete = false;
        emit imageComplete();
    }
}

Carte::Pret::Pret(Carte *carte) : carte(carte)
{
    if (carte && carte->rapide_ && !carte->enReplot) {
        carte->pretees.swap(acces::enfants(carte->couche));
        carte->pretDessin = true;
    } else {
        this->carte = nullptr;
    }
}

Carte::Pret::~Pret()
{
    if (carte) {
        carte->pretees.swap(acces::enfants(carte->couche));
        carte->pretDessin = false;
    }
}

// A replot's curves: the last picture when it still fits (copied, or
// redrawn near the curves that changed), else a job for the present state
// and, meanwhile, the last picture moved to the present ranges. During a
// gesture, only the moved picture.
void Carte::draw(QCPPainter *painter)
{
    if (!enReplot && !pretDessin)
        return; // the curves are their layer's children and draw themselves
    if (ajouts) { // a load is making curves: the map shows once they are all made
        arrete();
        return;
    }
    if (pretDessin) {
        if (!exporte(painter))
            dessineTout(painter);
        return;
    }
    QImage *tampon = Cliche::tamponDe(painter);
    bool vueOk = false;
    const Vue v = Vue::de(plot, &vueOk);
    const std::shared_ptr<const Scene> &s = scene();
    const bool possible = tampon && vueOk && s->dessinable && tampon->devicePixelRatio() == v.ratio;
    if (possible && geste->enCours()) {
        if (cliche->scene() == s.get()) {
            cliche->dessineDeplacee(painter, v);
            ++nombres.images;
        }
        return;
    }
    bool entiers = true;
    const std::shared_ptr<const Etats> etats = etatsActuels(&entiers);
    // Nothing to draw, or curves only the library draws: drawn here.
    if (!possible || !entiers || s->elements.empty()) {
        arrete();
        cliche->oublie();
        dessineTout(painter);
        ++nombres.complets;
        complete = true;
        attente = false;
        return;
    }
    if (cliche->vaPour(v, s.get(), *tampon) && retouche(painter, *tampon, v, etats)) {
        complete = true;
        attente = false;
        return;
    }
    attente = true;
    // A job for this view and scene goes on: the states that changed since
    // it began are redrawn once its picture is in.
    const bool memeTravail = travail && travail->demande().vue == v && travail->demande().scene == s &&
                             Cliche::memeChamp(travail->demande().fond, *tampon, v);
    if (!memeTravail)
        lance(painter, *tampon, v, etats);
    if (cliche->scene() == s.get()) {
        cliche->dessineDeplacee(painter, v);
        ++nombres.images;
    }
}

// An export's curves, drawn on every core before it goes on, when its
// painter paints on a raster picture with no transformation, as a replot's.
bool Carte::exporte(QCPPainter *painter)
{
    QImage *tampon = Cliche::tamponDe(painter, true);
    bool vueOk = false;
    Vue v = Vue::de(plot, &vueOk);
    if (!rapide_ || !tampon || !vueOk || !painter->deviceTransform().isIdentity() ||
        tampon->devicePixelRatio() != 1 || !scene()->dessinable)
        return false;
    v.ratio = 1;
    bool entiers = true;
    const std::shared_ptr<const Etats> etats = etatsActuels(&entiers);
    if (!entiers)
        return false;
    Travail t(demande(painter, *tampon, v, etats), fils);
    ++nombres.travaux;
    t.attends();
    Cliche::copieChamp(*tampon, t.image(), v);
    return true;
}

// Every curve whose box meets the view, in order, as the layer would draw
// them: the same clip, each curve's own antialiasing. A curve leaves the
// painter as its layer's save and restore would, so these are done once.
void Carte::dessineTout(QCPPainter *painter)
{
    const QRect dans = plot->xAxis->axisRect()->rect().translated(0, -1);
    bool vueOk = false;
    const Vue v = Vue::de(plot, &vueOk);
    painter->save();
    painter->setClipRect(dans);
    for (Courbe *c : courbes)
        if (c && c->realVisibility() && (!vueOk || portee(v, c->cles, c->valeurs).intersects(dans)))
            c->dessine(painter);
    painter->restore();
}

// Same view and scene as the picture: the picture, in which the curves
// whose state changed since are drawn again with every curve near them, in
// order, on the fond alone. False when that is too much work for the GUI
// thread.
bool Carte::retouche(QCPPainter *painter, QImage &tampon, const Vue &v, const std::shared_ptr<const Etats> &etats)
{
    const Etats &avant = *cliche->etats(), &apres = *etats;
    if (avant.size() != apres.size())
        return false;
    std::vector<int> changees;
    for (size_t r = 0; r < apres.size(); ++r) {
        if (avant[r] != apres[r]) {
            changees.push_back(int(r));
            if (changees.size() > size_t(CHANGEES_MAX))
                return false;
        }
    }
    if (changees.empty()) {
        cliche->pose(tampon);
        ++nombres.copies;
        return true;
    }
    const Scene &s = *scene_;
    const QRectF zone(v.zone());
    QVector<QRect> sale;
    QVector<QRectF> saleVue;
    // The dirty rectangles in whole device pixels, and the same in the
    // view's pixels: every curve that may draw in them is drawn again.
    for (int r : changees) {
        const Scene::Element &e = s.elements[size_t(r)];
        const QRectF b = portee(v, e.cles, e.valeurs).intersected(zone);
        if (!b.isEmpty()) {
            const QRect d = v.enDevice(b).intersected(tampon.rect());
            sale.append(d);
            saleVue.append(QRectF(d.left() / v.ratio, d.top() / v.ratio, d.width() / v.ratio, d.height() / v.ratio));
        }
    }
    std::vector<int> dessinees;
    if (!voisines(v, saleVue, apres, dessinees))
        return false;
    QImage brouillon = cliche->fond().copy();
    brouillon.setDevicePixelRatio(v.ratio);
    {
        QCPPainter p(&brouillon);
        p.setRenderHints(painter->renderHints());
        p.setModes(painter->modes());
        p.setClipRect(v.zone());
        QVector<QPointF> lignes;
        dessineRangs(&p, v, s, apres, dessinees, lignes);
    }
    cliche->retouche(brouillon, sale, etats);
    cliche->pose(tampon);
    ++nombres.partiels;
    return true;
}

// The curves to draw again over the dirty rectangles `sale` (the view's
// pixels): every visible one whose drawing may reach them, in order. False
// past the GUI thread's budget of points.
bool Carte::voisines(const Vue &v, const QVector<QRectF> &sale, const Etats &etats, std::vector<int> &dessinees)
{
    std::vector<int> rangs;
    for (const QRectF &b : sale)
        for (int k : proches(b))
            rangs.push_back(k);
    std::sort(rangs.begin(), rangs.end());
    rangs.erase(std::unique(rangs.begin(), rangs.end()), rangs.end());
    const Scene &s = *scene_;
    long points = 0;
    for (int k : rangs) {
        const Scene::Element &e = s.elements[size_t(k)];
        if (!(etats[size_t(k)] & VISIBLE) || !e.donnees)
            continue;
        const QRectF b = portee(v, e.cles, e.valeurs);
        if (std::none_of(sale.begin(), sale.end(), [&](const QRectF &d) { return d.intersects(b); }))
            continue;
        dessinees.push_back(k);
        points += e.points;
        if (points > POINTS_PARTIEL)
            return false;
    }
    return true;
}

// ---------------------------------------------------------------- jobs

Travail::Demande Carte::demande(QCPPainter *painter, const QImage &tampon, const Vue &v,
                                const std::shared_ptr<const Etats> &etats) const
{
    Travail::Demande d;
    d.scene = scene_;
    d.etats = etats;
    d.vue = v;
    d.fond = tampon.copy();
    d.indices = painter->renderHints();
    d.modes = painter->modes();
    return d;
}

void Carte::lance(QCPPainter *painter, const QImage &tampon, const Vue &v, const std::shared_ptr<const Etats> &etats)
{
    arrete();
    Travail::Demande d = demande(painter, tampon, v, etats);
    d.avecIndex = !grille;
    travail.reset(new Travail(std::move(d), fils));
    connect(travail.get(), &Travail::termine, this, &Carte::travailTermine);
    ++nombres.travaux;
}

// The running job is cancelled and set aside until its threads end; the
// ones that ended are deleted.
void Carte::arrete()
{
    arretes.erase(std::remove_if(arretes.begin(), arretes.end(),
                                 [](const std::unique_ptr<Travail> &t) { return t->acheve(); }),
                  arretes.end());
    if (!travail)
        return;
    travail->annule();
    arretes.push_back(std::move(travail));
    ++nombres.annules;
}

// Shown at once if the view and the curves are still those it drew.
void Carte::travailTermine()
{
    if (!travail || sender() != travail.get())
        return;
    std::unique_ptr<Travail> fait = std::move(travail);
    const Travail::Demande &d = fait->demande();
    bool vueOk = false;
    if (fait->index() && d.scene == scene_)
        grille = fait->index();
    if (d.scene != scene_ || geste->enCours() || d.vue != Vue::de(plot, &vueOk))
        return;
    cliche->adopte(d.fond, fait->image(), fait->seules(), d.vue, d.scene, d.etats);
    ++nombres.complets;
    plot->replot();
}

void Carte::gesteCommence()
{
    arrete();
    attente = rapide_;
}

void Carte::gesteFini()
{
    plot->replot(QCustomPlot::rpQueuedReplot);
}

// ------------------------------------------------------------------ index

// Made here only when a click comes before the first job after a load.
const Index &Carte::index()
{
    const std::shared_ptr<const Scene> &s = scene();
    if (!grille)
        grille = std::make_shared<const Index>(*s);
    return *grille;
}

// The ranks of the curves whose box may meet `pixels`, in no order, with
// repeats.
std::vector<int> Carte::proches(const QRectF &pixels)
{
    const Index &g = index();
    QCPAxis *x = plot->xAxis, *y = plot->yAxis;
    return g.proches(x->pixelToCoord(pixels.left()), x->pixelToCoord(pixels.right()),
                     y->pixelToCoord(pixels.top()), y->pixelToCoord(pixels.bottom()));
}

// Pixels around `pos` where a curve may be within the selection tolerance.
QRectF Carte::voisinage(const QPointF &pos) const
{
    const double t = plot->selectionTolerance() + 1;
    return QRectF(pos - QPointF(t, t), pos + QPointF(t, t));
}

// Outside a click, one query per position and view; every curve then
// answers from its mark.
bool Carte::repond(const Courbe *c, const QPointF &pos, bool onlySelectable, double *distance, QVariant *details)
{
    if (!rapide_ || c->carte != this)
        return false;
    if (enEvenement) {
        // The curves' layer holds the candidates only, and one was elected
        // for this click.
        if (c != election.elue || pos != election.pos || (onlySelectable && c->selectable() == QCP::stNone))
            *distance = -1;
        else if ((*distance = election.distance) >= 0 && details)
            *details = election.details;
        return true;
    }
    bool vueOk = false;
    const Vue v = Vue::de(plot, &vueOk);
    if (!requeteValide || pos != dernierePos || vueRequete != v || structureRequete != structure) {
        ++requetes;
        for (int k : proches(voisinage(pos)))
            if (size_t(k) < courbes.size() && courbes[size_t(k)])
                courbes[size_t(k)]->marque = requetes;
        dernierePos = pos;
        vueRequete = v;
        structureRequete = structure;
        requeteValide = true;
    }
    if (c->marque == requetes)
        return false;
    *distance = -1;
    return true;
}

// A ring that holds `pos` wins over every line near it: the topmost such
// ring, found by the even-odd rule alone. Else, from the top of the drawing
// down as the library looks, the nearest curve within the tolerance. A
// curve that isn't selectable still takes the click, as the library gives
// it the press. A press elects anew; its release and double-click reuse
// the press's choice unless the view or the curves changed meanwhile.
void Carte::elit(const QList<QCPLayerable *> &liste, const QPointF &pos, bool nouvelle)
{
    bool vueOk = false;
    const Vue v = Vue::de(plot, &vueOk);
    if (!nouvelle && election.pos == pos && election.vue == v && election.structure == structure && vueOk)
        return;
    election = Election();
    election.pos = pos;
    election.vue = v;
    election.structure = structure;
    for (int i = liste.size() - 1; i >= 0; --i) {
        const Courbe *c = static_cast<const Courbe *>(liste.at(i));
        if (c->realVisibility() && c->tient(pos)) {
            election.elue = c;
            election.distance = 0;
            c->sommetProche(pos, &election.details);
            return;
        }
    }
    const double tolerance = plot->selectionTolerance();
    for (int i = liste.size() - 1; i >= 0; --i) {
        const Courbe *c = static_cast<const Courbe *>(liste.at(i));
        if (!c->realVisibility() || !c->pres(pos))
            continue;
        QVariant details;
        const double d = c->distance(pos, false, &details);
        if (d < 0 || d >= tolerance || (election.elue && d >= election.distance))
            continue;
        election.elue = c;
        election.distance = d;
        election.details = details;
    }
}

// The curves near `pos` (within the selection tolerance), and with
// `avecChoisies` every selected one, in drawing order.
QList<QCPLayerable *> Carte::candidats(const QPointF &pos, bool avecChoisies)
{
    std::vector<int> rangs = proches(voisinage(pos));
    if (avecChoisies)
        for (int r : choisiesPossibles())
            rangs.push_back(r);
    std::sort(rangs.begin(), rangs.end());
    rangs.erase(std::unique(rangs.begin(), rangs.end()), rangs.end());
    QList<QCPLayerable *> liste;
    liste.reserve(int(rangs.size()));
    for (int r : rangs)
        if (size_t(r) < courbes.size() && courbes[size_t(r)])
            liste.append(courbes[size_t(r)]);
    return liste;
}

bool Carte::eventFilter(QObject *objet, QEvent *event)
{
    if (objet != plot || !rapide_ || enEvenement)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    {
        const QPointF pos = static_cast<QMouseEvent *>(event)->pos();
        horsEvenement = candidats(pos, true);
        elit(horsEvenement, pos, event->type() == QEvent::MouseButtonPress);
        break;
    }
    case QEvent::Wheel:
        break; // no curve takes the wheel: the library asks none of them
    default:
        return false;
    }
    horsEvenement.swap(acces::enfants(couche));
    enEvenement = true;
    static_cast<QObject *>(plot)->event(event);
    enEvenement = false;
    horsEvenement.swap(acces::enfants(couche));
    horsEvenement.clear();
    return true;
}
