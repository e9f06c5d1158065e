// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalutirage.h"

#include "kalucarte.h"
#include "kalucliche.h"
#include "kalureserve.h"
#include "kalutravail.h"
#include "zolconf.h"
#include "zolshp.h"

#include <QTimer>

#include <algorithm>
#include <cmath>
#include <new>

static const char KLUSRC[] = "../kalu/kalutirage.cpp";

// The scene's looks, in this order.
enum { POLYGONE = 0, LIGNE = 1 };

// `e` is a box within `cadre`.
static bool dedans(const Registre::Etendue &e, const Registre::Etendue &cadre)
{
    return e.trouvee && cadre.trouvee && cadre.x.contains(e.x.lower) &&
           cadre.x.contains(e.x.upper) && cadre.y.contains(e.y.lower) &&
           cadre.y.contains(e.y.upper);
}

// Beside the map, on its layer: the scene where the map draws its curves.
class Tirage::Planche : public QCPLayerable
{
  public:
    Planche(Tirage *tirage, QCustomPlot *plot, const QString &couche)
        : QCPLayerable(plot, couche), tirage(tirage)
    {
    }

  protected:
    // Each part applies its own, as the map's curves do.
    void applyDefaultAntialiasingHint(QCPPainter *) const override {}
    void draw(QCPPainter *painter) override
    {
        if (tirage->apercu.mode() == Apercu::Mode::Saisie)
            tirage->apercu.saisit(painter);
        else if (tirage->actif)
            tirage->dessine(painter);
    }

  private:
    Tirage *tirage;
};

Tirage::Tirage(QCustomPlot *plot, Carte *carte, Temoin *temoin, Chargement::Habits habits)
    : plot(plot), temoin(temoin), habits(std::move(habits)), carte(carte),
      planche(new Planche(this, plot, carte->layer()->name())), scene(Scene::nouvelle())
{
}

Tirage::~Tirage()
{
    delete planche;
}

Tirage::Pose::Pose(Tirage &tirage) : tirage(tirage)
{
    tirage.actif = !tirage.courbes;
}

Tirage::Pose::~Pose()
{
    tirage.actif = false;
}

// Each look made from a curve dressed as the window's load dresses those of
// polygons and of lines, on this plot (its antialiasing and hints).
void Tirage::faitHabits()
{
    const Chargement::Habits &h = habits;
    for (int habit : {POLYGONE, LIGNE}) {
        Courbe *modele = new Courbe(plot->xAxis, plot->yAxis, QCPRange(), QCPRange());
        if (habit == POLYGONE) {
            modele->setPen(h.polygone);
            modele->setBrush(h.fond);
            modele->partageChoix(h.choixPolygone);
        } else {
            modele->setPen(h.ligne);
            modele->partageChoix(h.choixLigne);
        }
        bool ok = true;
        scene->habits.push_back(Habit::de(*modele, &ok));
        scene->dessinable = scene->dessinable && ok;
        plot->removePlottable(modele);
    }
}

void Tirage::lis(const QStringList &fichiers)
{
    faitHabits();
    this->fichiers = fichiers;
    for (const QString &chemin : fichiers)
        entetes.push_back(entete(chemin));
    temoin->lectureCommence(fichiers);
    apercu.passe(Apercu::Mode::Attente);
    litSuivant();
}

// One file as the window's load takes it: the view set from its header, its
// pieces taken as they come, the view mended from its points' box once the
// reader accepted it, then its verdict; a file refused leaves no part.
void Tirage::litSuivant()
{
    if (courant >= size_t(fichiers.size())) {
        finLecture();
        return;
    }
    const QString &chemin = fichiers.at(int(courant));
    temoin->lectureFichier(chemin, etendue);
    cadreEntete(courant);
    premiere = parties();
    boite = Registre::Etendue();
    juge = plein = fini = false;
    try {
        lecture.reset(new Lecture(chemin.toUtf8().toStdString()));
    } catch (const std::bad_alloc &) {
        zolerreur(KLUSRC, "lis", nullptr, "not enough memory to load '%s'!\n",
                  chemin.toLocal8Bit().constData());
        refus_ = Chargement::Refus::Memoire;
        temoin->lectureFinie(chemin, refus_, 0);
        ++courant;
        QTimer::singleShot(0, this, &Tirage::litSuivant);
        return;
    }
    connect(lecture.get(), &Lecture::arrivees, this, &Tirage::surArrivees);
    connect(lecture.get(), &Lecture::lu, this, &Tirage::surLu);
}

// The pieces ready, until the reading is over and every piece is in.
void Tirage::surArrivees()
{
    if (fini)
        return;
    try {
        prends(*lecture, boite);
    } catch (const std::bad_alloc &) {
        // The reading's own check let the file through, and memory ran out
        // since: refused as one too big.
        plein = true;
        lecture->annule();
        zolerreur(KLUSRC, "lis", nullptr, "not enough memory to load '%s': stopped at curve %d!\n",
                  fichiers.at(int(courant)).toLocal8Bit().constData(), int(parties() - premiere));
    }
    if (plein || (juge && lecture->finie()))
        finFichier();
}

// At its verdict, an accepted file's box mends the view and the pictures go
// on for it.
void Tirage::surLu()
{
    if (fini)
        return;
    juge = true;
    if (lecture->accepte()) {
        temoin->lectureAcceptee(fichiers.at(int(courant)), *lecture, etendue);
        QCPRange x, y;
        cadre = etendue;
        if (lecture->boite(x, y))
            cadre.ajoute(x, y);
        reprend(courant, true);
    }
    if (lecture->finie())
        finFichier();
}

// The reading is waited for later, not within one of its own signals.
void Tirage::finFichier()
{
    fini = true;
    QTimer::singleShot(0, this, [this] {
        const QString chemin = fichiers.at(int(courant));
        refus_ = verdict(*lecture, plein, chemin);
        lecture.reset();
        int faites = int(parties() - premiere);
        if (refus_ != Chargement::Refus::Aucun) {
            oublieDepuis(premiere);
            faites = 0;
        } else if (boite.trouvee) {
            etendue.ajoute(boite.x, boite.y);
        }
        temoin->lectureFinie(chemin, refus_, faites);
        ++courant;
        litSuivant();
    });
}

void Tirage::finLecture()
{
    // The legend shows its items, which are the curves'.
    if (plot->legend->visible() && parties() > 0)
        faitCourbes();
    temoin->lectureTerminee(etendue);
    cadre = etendue;
    apercu.passe(Apercu::Mode::Fin);
    esquisse();
    emit termine();
}

// The box the header of `chemin` declares; none (trouvee false) when it
// has no sound one.
Registre::Etendue Tirage::entete(const QString &chemin)
{
    double x0, y0, x1, y1;
    long long taille = 0;
    Registre::Etendue e;
    if (boite_shp(chemin.toUtf8().constData(), x0, y0, x1, y1, taille) && x0 <= x1 && y0 <= y1 &&
        std::isfinite(x1 - x0) && std::isfinite(y1 - y0))
        e.ajoute(QCPRange(x0, x1), QCPRange(y0, y1));
    return e;
}

// The pictures begin for the view the header of file `rang` set.
void Tirage::cadreEntete(size_t rang)
{
    cadre = etendue;
    if (entetes[rang].trouvee)
        cadre.ajoute(entetes[rang].x, entetes[rang].y);
    reprend(rang, entetes[rang].trouvee);
}

// The view is set for `cadre` (if `connu`) while file `rang` is read: the
// pictures go on for it, unless a file to come would move it, one without
// a sound header or whose header declares points beyond; they then wait
// for a later file.
void Tirage::reprend(size_t rang, bool connu)
{
    bool attente = !connu;
    for (size_t k = rang + 1; k < entetes.size() && !attente; ++k)
        attente = !dedans(entetes[k], cadre);
    apercu.passe(attente ? Apercu::Mode::Attente : Apercu::Mode::Export);
    if (!attente)
        esquisse();
}

// As the window's load tells why a file was skipped.
Chargement::Refus Tirage::verdict(const Lecture &lecture, bool plein, const QString &chemin)
{
    if (plein || lecture.refusee())
        return Chargement::Refus::Memoire;
    if (lecture.accepte())
        return Chargement::Refus::Aucun;
    const int type = Chargement::typeDeclare(chemin.toUtf8().toStdString());
    return type != 3 && type != 5 && !Chargement::nomDuType(type).isEmpty()
               ? Chargement::Refus::TypeNonDessine
               : Chargement::Refus::Illisible;
}

// The pieces ready, each an element of the scene. Room is made as the
// reading foretells the file's parts, rather than grown by copies of a
// million elements.
void Tirage::prends(Lecture &lecture, Registre::Etendue &boite)
{
    lecture.prends(pieces);
    std::vector<Scene::Element> &elements = scene->elements;
    const size_t prevues =
        std::max(premiere + size_t(lecture.partiesPrevues()), elements.size() + pieces.size());
    if (prevues > elements.capacity()) {
        elements.reserve(std::max(prevues, elements.capacity() + elements.capacity() / 2));
        fiches.reserve(elements.capacity());
    }
    for (; !pieces.empty(); pieces.pop_front()) {
        Piece &p = pieces.front();
        Scene::Element e;
        e.donnees = p.donnees;
        e.points = p.donnees->size();
        e.cles = p.cles;
        e.valeurs = p.valeurs;
        e.habit = p.polygone ? POLYGONE : LIGNE;
        fiches.push_back({p.rcdi, p.parti, p.place});
        try {
            elements.push_back(std::move(e));
        } catch (...) {
            fiches.pop_back();
            throw;
        }
        if (p.place) {
            boite.ajoute(p.cles, p.valeurs);
            if (apercu.mode() != Apercu::Mode::Attente &&
                !dedans({p.cles, p.valeurs, true}, cadre)) {
                // The header lied: the view will move once the file is read.
                apercu.passe(Apercu::Mode::Attente);
                apercu.ebauche().oublie();
            }
        }
    }
    apercu.poursuis();
}

void Tirage::oublieDepuis(size_t premiere)
{
    if (apercu.ebauche().enCours() || apercu.ebauche().dessinees() > premiere)
        apercu.ebauche().oublie();
    scene->elements.resize(premiere);
    fiches.resize(premiere);
    pieces.clear();
}

// The window's load's curves, in order: the same data, names and looks
// (the decorators shared), each inscribed in the map's next scene.
void Tirage::faitCourbes()
{
    const Chargement::Habits &h = habits;
    carte->prevoit(parties());
    carte->debutAjouts();
    for (size_t k = 0; k < parties(); ++k) {
        const Scene::Element &e = scene->elements[k];
        Courbe *c = carte->ajoute(e.cles, e.valeurs, fiches[k].place);
        c->setData(qSharedPointerConstCast<QCPCurveDataContainer>(e.donnees));
        if (e.habit == POLYGONE) {
            c->setPen(h.polygone);
            c->setBrush(h.fond);
            c->partageChoix(h.choixPolygone);
        } else {
            c->setPen(h.ligne);
            c->partageChoix(h.choixLigne);
        }
        c->numerote(fiches[k].rcdi, fiches[k].parti);
        carte->inscrit(c);
    }
    carte->finAjouts();
    carte->faitEntrees();
    courbes = true;
    apercu.ebauche().oublie();
}

// The pictures go on for the present view, or begin again for it: the plot
// drawn as the export will draw it gives their fond (Apercu::saisit).
void Tirage::esquisse()
{
    if (courbes || apercu.mode() == Apercu::Mode::Attente)
        return;
    const QSize taille = plot->viewport().size();
    apercu.esquisse(taille, [this, taille] {
        apercu.ebauche().oublie();
        plot->toPixmap(taille.width(), taille.height());
    });
    apercu.poursuis();
}

// The parts from `debut` on, within the points Ebauche::pointsDuLot gives:
// the files being read, or every part left.
std::shared_ptr<const Scene> Tirage::lot(size_t debut, bool lecture,
                                         std::shared_ptr<const Etats> &etats)
{
    const long points =
        Ebauche::pointsDuLot(lecture ? Ebauche::Temps::Lecture : Ebauche::Temps::Reste);
    size_t fin = debut;
    for (long n = 0; fin < parties() && n < points; ++fin)
        n += scene->elements[fin].points;
    std::shared_ptr<Scene> s;
    try {
        s = Scene::nouvelle();
        s->habits = scene->habits;
        s->elements.assign(scene->elements.begin() + std::ptrdiff_t(debut),
                           scene->elements.begin() + std::ptrdiff_t(fin));
        etats = std::make_shared<const Etats>(fin - debut, uint8_t(VISIBLE));
    } catch (const std::bad_alloc &) {
        return nullptr; // the export draws the parts at its end
    }
    dessinees += fin - debut;
    ++jobs;
    return s;
}

void Tirage::dessine(QCPPainter *painter)
{
    Vue v;
    QImage *tampon = Ebauche::tamponExport(painter, plot, v);
    try {
        if (tampon && apercu.exporte(*tampon, v, parties()))
            return;
        if (tampon && dessineParTravail(painter, *tampon, v))
            return;
    } catch (const std::bad_alloc &) {
        // No room for a picture's copy: part by part, on the export's own.
        apercu.ebauche().oublie();
    }
    dessineUneAUne(painter);
}

// As the map draws an export's curves on a raster picture with no
// transformation: one job on every core over the picture so far.
bool Tirage::dessineParTravail(const QCPPainter *painter, QImage &tampon, const Vue &v)
{
    if (!scene->dessinable)
        return false;
    Travail::Demande d;
    d.scene = scene;
    d.etats = std::make_shared<const Etats>(parties(), uint8_t(VISIBLE));
    d.vue = v;
    d.fond = reserve::copie(tampon);
    d.indices = painter->renderHints();
    d.modes = painter->modes();
    dessinees += parties();
    ++jobs;
    return Ebauche::exporteEnUn(std::move(d), Travail::filsParDefaut(),
                                tampon); // false: part by part
}

// Every part whose reach meets the axis rectangle, in order, under the
// curves' clip.
void Tirage::dessineUneAUne(QCPPainter *painter)
{
    bool vueOk = false;
    const Vue v = Vue::de(plot, &vueOk);
    if (!vueOk)
        return;
    const QRect dans = v.zone();
    std::vector<int> rangs;
    for (size_t k = 0; k < parties(); ++k) {
        const Scene::Element &e = scene->elements[k];
        if (portee(v, e.cles, e.valeurs).intersects(dans))
            rangs.push_back(int(k));
    }
    const Etats etats(parties(), uint8_t(VISIBLE));
    QVector<QPointF> lignes;
    painter->save();
    painter->setClipRect(dans);
    dessineRangs(painter, v, *scene, etats, rangs, lignes);
    painter->restore();
}
