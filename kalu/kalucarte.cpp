// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalucarte.h"

#include "kaluacces.h"
#include "kalucadrage.h"
#include "kalureserve.h"
#include "zolconf.h"

#include <algorithm>
#include <cmath>

static const char KLUSRC[] = "../kalu/kalucarte.cpp";

// The test builds check the map's states at their transitions.
#ifdef KALU_VERIFICATIONS
#define VERIFIE(condition)                                                                         \
    ((condition) ? void(0) : qFatal("%s: %s does not hold", KLUSRC, #condition))
#else
#define VERIFIE(condition) void(0)
#endif

namespace
{

QCPLayer *nouvelleCouche(QCustomPlot *plot, const QString &nom, const QString &dessous)
{
    plot->addLayer(nom, plot->layer(dessous), QCustomPlot::limAbove);
    return plot->layer(nom);
}

} // namespace

// ------------------------------------------------------------------ Carte

Carte::Carte(QCustomPlot *plot)
    : QCPLayerable(plot), plot(plot),
      emprunt(nouvelleCouche(plot, QStringLiteral("courbes"), QStringLiteral("main"))),
      registre(plot, emprunt.couche, this),
      clic(
          plot, emprunt.couche, registre, [this](const QRectF &pixels) { return proches(pixels); },
          [this] { return suivi.choisiesPossibles(); }),
      cliche(new Cliche), geste(new Geste(plot))
{
    setLayer(nouvelleCouche(plot, QStringLiteral("carte"), QStringLiteral("courbes")));
    entrees = nouvelleCouche(plot, QStringLiteral("entrees"), QStringLiteral("legend"));
    plot->setProperty("kalu-carte", QVariant::fromValue<QObject *>(this));

    connect(plot, &QCustomPlot::beforeReplot, this, &Carte::avantReplot);
    connect(plot, &QCustomPlot::afterReplot, this, &Carte::apresReplot);
    connect(geste.get(), &Geste::commence, this, &Carte::gesteCommence);
    connect(geste.get(), &Geste::fini, this, &Carte::gesteFini);
}

// The jobs stop after the curve they draw.
Carte::~Carte()
{
    arrete();
    arretes.clear();
}

Carte *Carte::de(QCustomPlot *plot)
{
    return qobject_cast<Carte *>(plot->property("kalu-carte").value<QObject *>());
}

void Carte::setRapide(bool oui)
{
    options.rapide = oui;
    clic.setActif(oui);
    arrete();
    setAttente(oui && geste->enCours());
}

Courbe *Carte::ajoute(const QCPRange &cles, const QCPRange &valeurs, bool place)
{
    Courbe *c = registre.ajoute(cles, valeurs, place);
    clic.ajoutee(c);
    apercu.ebauche().prise(); // an announced part is the curve's now
    if (options.rapide)
        apercu.appelle();
    return c;
}

void Carte::annonce(std::vector<Scene::Element> &suivants, const std::vector<Habit> &habits)
{
    apercu.ebauche().annonce(suivants, habits);
    if (options.rapide)
        apercu.appelle();
}

// Legend items are deleted last, once the curves no longer stand before
// them among the plot's children.
void Carte::vide()
{
    arrete();
    cliche->oublie();
    apercu.ebauche().oublie();
    apercu.ebauche().oublieAnnoncees();
    QCPLegend *legend = plot->legend;
    QVector<QCPLayoutElement *> items;
    items.reserve(legend->elementCount());
    for (int i = 0; i < legend->elementCount(); ++i)
        if (QCPLayoutElement *item = legend->takeAt(i))
            items.append(item);
    legend->simplify();
    registre.vide();
    suivi.vide();
    clic.vide(); // the layer's own list, while an event sees candidates
    qDeleteAll(items);
}

// The legend items of the curves taken back go with them, deleted last as
// vide() deletes them. The load's pictures stay if they hold none of those
// curves: they are then those of the curves kept.
void Carte::retireDepuis(size_t debut)
{
    arrete();
    apercu.ebauche().retire(debut);
    apercu.ebauche().oublieAnnoncees();
    clic.retireDepuis(debut);
    const QVector<QCPLayoutElement *> items = entreesDepuis(debut);
    registre.retireDepuis(debut);
    qDeleteAll(items);
}

// The items are the legend's last, in the order of their curves.
QVector<QCPLayoutElement *> Carte::entreesDepuis(size_t debut)
{
    QCPLegend *legend = plot->legend;
    QVector<QCPLayoutElement *> items;
    for (int i = legend->elementCount(); i-- > 0;) {
        auto *item = qobject_cast<QCPPlottableLegendItem *>(legend->elementAt(i));
        const Courbe *c = item ? dynamic_cast<const Courbe *>(item->plottable()) : nullptr;
        if (c == nullptr || c->carte != this || size_t(c->rang) < debut)
            break;
        items.append(legend->takeAt(i));
    }
    if (!items.isEmpty())
        legend->simplify();
    return items;
}

void Carte::oublieAnnoncees()
{
    apercu.ebauche().retire(registre.courbes().size());
    apercu.ebauche().oublieAnnoncees();
}

void Carte::oublie(int r)
{
    apercu.ebauche().oublie(); // the curve may be in its picture
    clic.oublie(registre.courbe(r));
    if (registre.oublie(r))
        suspecte(r);
}

void Carte::recadre()
{
    QCPAxis *x = plot->xAxis, *y = plot->yAxis;
    // Plottables of other kinds, or axes other than linear ones: the
    // library's own way.
    if (size_t(plot->plottableCount()) != registre.vivantes() ||
        x->scaleType() != QCPAxis::stLinear || y->scaleType() != QCPAxis::stLinear) {
        plot->rescaleAxes(false);
        return;
    }
    Cadrage(plot).cadre(registre.etendue());
}

void Carte::accordeSelection()
{
    ::accordeSelection(plot->legend, registre, suivi.choisiesPossibles(), [this](QCPCurve *c) {
        if (Courbe *k = dynamic_cast<Courbe *>(c); k && k->carte == this)
            suivi.suspecte(k->rang);
    });
}

void Carte::faitEntrees()
{
    if (!apercu.charge())
        ::faitEntrees(plot->legend, registre, entrees);
}

void Carte::applyDefaultAntialiasingHint(QCPPainter *painter) const
{
    (void)painter; // each curve applies its own
}

// ------------------------------------------------------ scene and states

const std::shared_ptr<const Scene> &Carte::scene()
{
    return cache.scene(apercu.charge());
}

// ----------------------------------------------------- replot and drawing

// The curves' layer lends its children to the map, so that it draws none of
// them, or gets them back (entry B2 of the register in kaluacces.h).
void Carte::Emprunt::prete(Activite pour)
{
    VERIFIE(activite_ == Activite::Repos && pour != Activite::Repos);
    pretees.swap(acces::enfants(couche));
    activite_ = pour;
}

void Carte::Emprunt::rend([[maybe_unused]] Activite de)
{
    VERIFIE(activite_ == de && de != Activite::Repos);
    pretees.swap(acces::enfants(couche));
    activite_ = Activite::Repos;
}

// The library does not replot within a replot (entry B12 of the register in
// kaluacces.h). A replot within an export finds the curves lent already,
// and draws them as the export does.
void Carte::avantReplot()
{
    if (!options.rapide || emprunt.activite() == Activite::Export)
        return;
    registre.resserre();
    emprunt.prete(Activite::Replot);
}

void Carte::apresReplot()
{
    if (emprunt.activite() != Activite::Replot)
        return;
    emprunt.rend(Activite::Replot);
    if (image == Image::Posee) {
        passe(Image::Montree);
        emit imageComplete();
    }
}

// Within a replot or another export, the curves are lent already.
Carte::Pret::Pret(Carte *carte) : carte(carte)
{
    if (carte && carte->options.rapide && carte->emprunt.activite() == Activite::Repos)
        carte->emprunt.prete(Activite::Export);
    else
        this->carte = nullptr;
}

Carte::Pret::~Pret()
{
    if (carte)
        carte->emprunt.rend(Activite::Export);
}

// A gesture under way, or none: a drawing put in this replot is still told.
// A complete drawing is put in the buffer only by a replot, which tells it
// once over (apresReplot).
void Carte::passe(Image vers)
{
    VERIFIE(vers != Image::Posee || emprunt.activite() == Activite::Replot);
    image = vers;
}

void Carte::setAttente(bool oui)
{
    if (oui)
        passe(Image::Attendue);
    else if (image == Image::Attendue)
        passe(Image::Montree);
}

// Memory running out while a replot prepares the curves' picture (a scene,
// a lot, a job's copy of the fond) must not end the program from inside
// the event loop: the pictures and jobs are dropped, this frame shows no
// curve, and the load's curves are drawn once whole.
void Carte::draw(QCPPainter *painter)
{
    try {
        dessine(painter);
    } catch (const std::bad_alloc &) {
        arrete();
        cliche->oublie();
        apercu.ebauche().oublie();
        apercu.sans();
        passe(Image::Montree);
        zolavis(KLUSRC, "draw", nullptr, "not enough memory to draw the map now!\n");
    }
}

// A replot's curves: the last picture when it still fits (copied, or
// redrawn near the curves that changed), else a job for the present state
// and, meanwhile, the last picture moved to the present ranges. During a
// gesture, only the moved picture.
void Carte::dessine(QCPPainter *painter)
{
    if (emprunt.activite() == Activite::Repos)
        return; // the curves are their layer's children and draw themselves
    if (emprunt.activite() == Activite::Replot && apercu.pourFenetre() &&
        (apercu.charge() || apercu.ebauche().commencee())) {
        if (apercu.dessine(painter))
            return;
    } else if (registre.ajouts()) { // curves come outside a load: the map shows them once made
        arrete();
        return;
    }
    if (emprunt.activite() == Activite::Export) {
        if (apercu.mode() == Apercu::Mode::Saisie)
            apercu.saisit(painter);
        else if (!exporte(painter))
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
    const std::shared_ptr<const Etats> etats = suivi.lis(&entiers);
    // Nothing to draw, or curves only the library draws, or a paint buffer
    // the map can't write in place (entry B11 of the register in
    // kaluacces.h): drawn here, on the GUI thread.
    if (!possible || !entiers || s->elements.empty()) {
        arrete();
        cliche->oublie();
        dessineTout(painter);
        ++nombres.complets;
        passe(Image::Posee);
        return;
    }
    const Retouche::Issue partielle = retouche.dessine(painter, *tampon, v, s.get(), etats);
    if (partielle == Retouche::Issue::Posee) {
        passe(Image::Posee);
        return;
    }
    passe(Image::Attendue);
    if (partielle == Retouche::Issue::Lancee)
        return;
    // A job for this view and scene goes on: the states that changed since
    // it began are redrawn once its picture is in.
    const bool memeTravail = travail && !travail->demande().partiel() &&
                             travail->demande().vue == v && travail->demande().scene == s &&
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
    Vue v;
    QImage *tampon = Ebauche::tamponExport(painter, plot, v);
    if (!options.rapide || !tampon || !scene()->dessinable)
        return false;
    if (apercu.exporte(*tampon, v, registre.courbes().size())) {
        ++nombres.complets;
        return true;
    }
    bool entiers = true;
    const std::shared_ptr<const Etats> etats = suivi.lis(&entiers);
    if (!entiers)
        return false;
    ++nombres.travaux;
    // False when memory ran out: the curves are then drawn one by one.
    return Ebauche::exporteEnUn(demande(painter, *tampon, v, etats), options.fils, *tampon);
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
    for (Courbe *c : registre.courbes())
        if (c && c->realVisibility() &&
            (!vueOk || portee(v, c->boiteCles(), c->boiteValeurs()).intersects(dans)))
            c->dessine(painter);
    painter->restore();
}

// ---------------------------------------------------------------- jobs

Travail::Demande Carte::demande(QCPPainter *painter, const QImage &tampon, const Vue &v,
                                const std::shared_ptr<const Etats> &etats) const
{
    Travail::Demande d;
    d.scene = cache.derniere();
    d.etats = etats;
    d.vue = v;
    d.fond = reserve::copie(tampon);
    d.indices = painter->renderHints();
    d.modes = painter->modes();
    return d;
}

void Carte::lance(QCPPainter *painter, const QImage &tampon, const Vue &v,
                  const std::shared_ptr<const Etats> &etats)
{
    // With curves selected, the neutral picture: the selection is then
    // drawn over it, and a change of selection later never draws in the
    // rectangle of the one that goes. Not past what a partial drawing
    // takes: the selection would never come.
    std::shared_ptr<const Etats> dessin = etats;
    if (!suivi.choisies().empty() && suivi.choisies().size() <= size_t(Retouche::CHANGEES_MAX)) {
        auto sans = std::make_shared<Etats>(*etats);
        for (uint8_t &e : *sans)
            e &= uint8_t(~CHOISIE);
        dessin = sans;
    }
    Travail::Demande d = demande(painter, tampon, v, dessin);
    d.avecIndex = !cache.indexe();
    demarre(std::move(d));
}

void Carte::demarre(Travail::Demande &&d)
{
    arrete();
    travail.reset(new Travail(std::move(d), options.fils));
    connect(travail.get(), &Travail::termine, this, &Carte::travailTermine);
    ++nombres.travaux;
}

// The running job is cancelled and set aside until its threads end; the
// ones that ended are deleted.
void Carte::arrete()
{
    if (Travail::metDeCote(travail, arretes))
        ++nombres.annules;
}

// Shown at once if the view and the curves are still those it drew. The
// job is the sender of the signal being delivered: it is deleted once the
// delivery is over, or with the map if that comes first.
void Carte::travailTermine()
{
    Travail *fait = prendFini(travail, sender(), this);
    if (!fait)
        return;
    const Travail::Demande &d = fait->demande();
    bool vueOk = false;
    if (d.partiel()) {
        if (retouche.finie(*fait, !geste->enCours() && d.vue == Vue::de(plot, &vueOk)))
            plot->replot();
        return;
    }
    cache.garde(d.scene, fait->index());
    if (d.scene != cache.derniere() || geste->enCours() || d.vue != Vue::de(plot, &vueOk))
        return;
    cliche->adopte(d.fond, fait->image(), fait->seules(), d.vue, d.scene, d.etats);
    ++nombres.complets;
    nombres.dureeComplet = fait->temps();
    plot->replot();
}

// ------------------------------------------------------------- the load

void Carte::debutChargement()
{
    apercu.debut();
}

void Carte::finChargement()
{
    apercu.fin();
}

size_t Carte::parties() const
{
    return registre.courbes().size() + apercu.ebauche().annoncees();
}

// The curves made from `debut` on, then the parts read after them, within
// the lot's points; a curve is made shown and not selected.
std::shared_ptr<const Scene> Carte::lot(size_t debut, bool lecture,
                                        std::shared_ptr<const Etats> &etats)
{
    const Ebauche &ebauche = apercu.ebauche();
    const long points = Ebauche::pointsDuLot(debut == 0 ? Ebauche::Temps::Premier
                                             : lecture  ? Ebauche::Temps::Lecture
                                                        : Ebauche::Temps::Fin);
    const size_t n = registre.courbes().size();
    std::shared_ptr<Scene> lot;
    size_t faites = 0; // the lot's first elements that are curves made
    if (debut >= n) {
        lot = ebauche.annoncees(debut - n, points, nullptr);
        // The registry's lots would go on from its last curve: it need not
        // keep a copy of the curves being made for them.
        registre.lot(n, 0);
    } else {
        lot = registre.lot(debut, points,
                           [&ebauche](long reste) { return ebauche.combien(0, reste); });
        faites = lot->elements.size();
        // The parts read after them go in the same lot.
        if (debut + faites == n && ebauche.annoncees() > 0)
            lot = ebauche.annoncees(0, points, std::move(lot));
    }
    if (!lot->dessinable)
        return lot;
    auto lus = std::make_shared<Etats>(suivi.lisDepuis(debut, faites));
    lus->resize(lot->elements.size(), uint8_t(VISIBLE));
    etats = std::move(lus);
    ++nombres.travaux;
    return lot;
}

void Carte::attend()
{
    arrete();
    passe(Image::Attendue);
}

void Carte::montre(bool ebauche)
{
    ++(ebauche ? nombres.ebauches : nombres.images);
}

// The states the pictures were drawn in are the curves' last reading: a
// million curves are not read again at once.
std::shared_ptr<const Scene> Carte::adopte(const Ebauche &ebauche)
{
    const std::shared_ptr<const Scene> &s = scene();
    if (!s->dessinable || s->elements.size() != ebauche.dessinees())
        return nullptr;
    const std::shared_ptr<const Etats> lus = ebauche.etats();
    cliche->adopte(ebauche.fond(), ebauche.image(), QImage(), ebauche.vue(), s, lus);
    suivi.adopte(lus);
    return s;
}

void Carte::complete(const Finition &faite)
{
    cliche->completeSeules(faite.image(), faite.seules());
    cache.garde(faite.scene(), faite.index());
}

void Carte::esquisse(const QSize &taille)
{
    if (!options.rapide || apercu.mode() == Apercu::Mode::Sans ||
        emprunt.activite() != Activite::Repos)
        return;
    apercu.esquisse(taille, [this, taille] {
        Pret pret(this);
        plot->toPixmap(taille.width(), taille.height());
    });
}

void Carte::gesteCommence()
{
    arrete();
    setAttente(options.rapide);
}

void Carte::gesteFini()
{
    plot->replot(QCustomPlot::rpQueuedReplot);
}

// ------------------------------------------------------------------ index

// The ranks of the curves whose box may meet `pixels`, in no order, with
// repeats.
std::vector<int> Carte::proches(const QRectF &pixels)
{
    QCPAxis *x = plot->xAxis, *y = plot->yAxis;
    const double xa = x->pixelToCoord(pixels.left()), xb = x->pixelToCoord(pixels.right());
    const double ya = y->pixelToCoord(pixels.top()), yb = y->pixelToCoord(pixels.bottom());
    // During a load the scene changes at every slice: an index made for one
    // click would cost more than looking at the boxes being gathered.
    if (const std::vector<Scene::Element> *boites =
            apercu.charge() ? registre.enCours() : nullptr) {
        const QCPRange cx(std::min(xa, xb), std::max(xa, xb)),
            cy(std::min(ya, yb), std::max(ya, yb));
        std::vector<int> r;
        for (size_t k = 0; k < boites->size(); ++k) {
            const Scene::Element &e = (*boites)[k];
            if (e.donnees && e.cles.lower <= cx.upper && cx.lower <= e.cles.upper &&
                e.valeurs.lower <= cy.upper && cy.lower <= e.valeurs.upper)
                r.push_back(int(k));
        }
        return r;
    }
    return cache.index(apercu.charge()).proches(xa, xb, ya, yb);
}

bool Carte::repond(const Courbe *c, const QPointF &pos, bool onlySelectable, double *distance,
                   QVariant *details)
{
    return c->carte == this && clic.repond(c, pos, onlySelectable, distance, details);
}
