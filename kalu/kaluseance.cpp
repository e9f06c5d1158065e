// SPDX-License-Identifier: GPL-3.0-or-later
#include "kaluseance.h"

#include "kalucarte.h"
#include "zolconf.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>

// The window's loader reported its refusals under this place, which the
// trace keeps.
static const char KLUSRC[] = "../kalu/kaluview.cpp";

Seance::Seance(Fenetre fenetre, QObject *parent)
    : QObject(parent), fenetre(std::move(fenetre)), cadrage(this->fenetre.plot)
{
    // A view the user moves during a load is the one it ends at.
    const auto suitGamme = qOverload<const QCPRange &>(&QCPAxis::rangeChanged);
    connect(this->fenetre.plot->xAxis, suitGamme, this, &Seance::vueBougee);
    connect(this->fenetre.plot->yAxis, suitGamme, this, &Seance::vueBougee);
    connect(this->fenetre.carte, &Carte::imageComplete, this, &Seance::montreIssue);
}

Seance::~Seance()
{
    chargement.reset();
    progression.reset();
}

void Seance::charge(const QStringList &fichiers, bool replot)
{
    commence(fichiers, replot);
    // The old map goes from the screen at once, and the new one shows as
    // it comes.
    if (replot)
        fenetre.plot->replot(QCustomPlot::rpQueuedReplot);
    lance(fichiers, true);
}

// The first steps of a whole load, the window's or one read elsewhere.
void Seance::commence(const QStringList &fichiers, bool replot)
{
    abandonne();
    zolmessage("Nombre fichiers *.shp : %d\n", fichiers.size());
    fenetre.carte->vide();
    montreCharge = replot;
    avantX = fenetre.plot->xAxis->range();
    avantY = fenetre.plot->yAxis->range();
}

void Seance::lance(const QStringList &fichiers, bool entier)
{
    abandonne();
    issue.reset();
    entiere = entier;
    vueLibre = false;
    bilan = Bilan();
    // The last load's progress, its picture still to come, goes first: it
    // would hide the stop button the new one shows.
    progression.reset();
    progression.reset(new Progression(fenetre.barre, fenetre.bouton));
    connect(progression.get(), &Progression::arret, this, &Seance::arrete);
    chargement.reset(new Chargement(fenetre.carte, fenetre.habits(), fichiers));
    connect(chargement.get(), &Chargement::fichierCommence, this, &Seance::fichierCommence);
    connect(chargement.get(), &Chargement::fichierAccepte, this, &Seance::fichierAccepte);
    connect(chargement.get(), &Chargement::avance, progression.get(), &Progression::avance);
    connect(chargement.get(), &Chargement::fichierFini, this, &Seance::fichierFini);
    connect(chargement.get(), &Chargement::termine, this, &Seance::termine);
    fenetre.arret->setEnabled(true);
    fenetre.pointeur->clear();
    fenetre.carte->debutChargement();
    chargement->commence();
}

void Seance::arrete()
{
    if (chargement)
        chargement->arrete();
}

void Seance::abandonne()
{
    if (!chargement)
        return;
    chargement->disconnect(this);
    chargement.reset();
    progression.reset();
    issue.reset();
    fenetre.arret->setEnabled(false);
    fenetre.carte->finChargement();
    emit chargementFini();
}

void Seance::vide()
{
    const bool arrete = chargement != nullptr;
    abandonne();
    fenetre.carte->vide();
    if (arrete || issue) {
        issue = arrete ? bilan.arret() : QString();
        montreIssue();
    }
}

void Seance::fichierCommence(const QString &chemin)
{
    progression->debut(chemin);
    if (entiere && !vueLibre)
        cadrePrevu(nullptr, chemin.toUtf8().constData());
}

void Seance::fichierAccepte(const QString &chemin, const Lecture &lue)
{
    fenetre.titre->setText(QString("Shapefile: '%1'").arg(chemin));
    if (entiere && !vueLibre)
        cadrePrevu(&lue, nullptr);
}

// A file the reader rejected is reported under the loader's name; one of a
// type not drawn, or too big, is told as such in the status bar. A legend
// of 30 entries and more would cover the map.
void Seance::fichierFini(const QString &chemin, Chargement::Refus refus, int courbes)
{
    const QString nom = QFileInfo(chemin).fileName();
    switch (refus) {
    case Chargement::Refus::Aucun:
        fenetre.plot->legend->setVisible(courbes < 30);
        if (chargement && chargement->tronque())
            bilan.tronque(nom, chargement->enregistrements());
        else if (courbes == 0)
            bilan.vide(nom);
        break;
    case Chargement::Refus::Illisible:
        zolerreur(KLUSRC, "fscanshp_cpt", nullptr, "erreur fscan_shp()!\n");
        bilan.illisible(nom);
        break;
    case Chargement::Refus::TypeNonDessine:
        zolerreur(KLUSRC, "fscanshp_cpt", nullptr, "erreur fscan_shp()!\n");
        bilan.typeNonDessine(
            nom, Chargement::nomDuType(Chargement::typeDeclare(chemin.toUtf8().toStdString())));
        break;
    case Chargement::Refus::Memoire:
        bilan.tropGros(nom);
        break;
    }
    refus_ = refus;
    emit fichierCharge(chemin, refus == Chargement::Refus::Aucun);
}

// The end of a load: done or stopped, what stays is fitted (unless the user
// moved the view meanwhile) and equalised. A load that left no curve to fit
// keeps the ranges it began with. The job is the sender of the signal being
// delivered: it is deleted once the delivery is over.
void Seance::termine(bool arrete)
{
    Chargement *fait = chargement.release();
    fait->deleteLater();
    progression->fin();
    fenetre.arret->setEnabled(false);
    fenetre.carte->finChargement();
    issue = arrete ? arret(*fait) : bilan.fin(fenetre.plot->plottableCount());
    if (entiere && !vueLibre && !arrete)
        cadreFin();
    if (fenetre.plot->legend->visible())
        fenetre.carte->faitEntrees();
    // The progress stays until the load's picture is complete.
    if (entiere && montreCharge && !arrete)
        fenetre.plot->replot();
    else if (entiere && montreCharge)
        fenetre.plot->replot(QCustomPlot::rpQueuedReplot);
    if (arrete || !fenetre.carte->attendImage())
        montreIssue();
    emit chargementFini();
}

// What a stop leaves: the curves made stay, and the view; the file being
// read is told with what of it shows, and its curves decide the title and
// the legend as a file's do.
QString Seance::arret(const Chargement &fait)
{
    if (!fait.fichierArrete())
        return bilan.arret();
    const int gardees = fait.courbesGardees();
    if (gardees > 0) {
        fenetre.titre->setText(QString("Shapefile: '%1'").arg(fait.fichier()));
        fenetre.plot->legend->setVisible(gardees < 30);
    }
    return bilan.arret(QFileInfo(fait.fichier()).fileName(), gardees, fait.partiesConnues(),
                       fait.pourcent());
}

// The load's outcome in the status bar, in place of its progress, where it
// stays until the next message.
void Seance::montreIssue()
{
    if (!issue)
        return;
    const QString message = *issue;
    issue.reset();
    progression.reset();
    if (message.isEmpty())
        fenetre.barre->clearMessage();
    else
        fenetre.barre->showMessage(message, 0);
}

// The user's drag, wheel or zoom during a load: its end keeps that view.
void Seance::vueBougee()
{
    if (chargement && !enCadrage)
        vueLibre = true;
}

void Seance::cadreTout()
{
    if (chargement) {
        vueLibre = false;
        if (entiere)
            cadrePrevu(nullptr, chargement->fichier().toUtf8().constData());
        return;
    }
    if (!etendueLue().trouvee)
        return;
    cadreFin();
    fenetre.plot->replot();
}

// The plot replots next with the kept scale.
void Seance::gardeEchelle(QSize avant)
{
    const bool dedans = enCadrage;
    enCadrage = true;
    cadrage.gardeEchelle(avant);
    enCadrage = dedans;
}

// The end's fit to what stays, with the load's trace lines.
void Seance::cadreFin()
{
    enCadrage = true;
    cadrage.cadreFin(
        etendueLue(), [this] { recadre(); }, avantX, avantY, fenetre.egalise);
    enCadrage = false;
}

// Set before the file's first curve from the box its header declares, and
// mended once its points are read. Silent: the end's trace lines are the
// load's.
void Seance::cadrePrevu(const Lecture *lue, const char *chemin)
{
    const Registre::Etendue prevue = Cadrage::prevue(etendueLue(), lue, chemin);
    if (!prevue.trouvee)
        return;
    enCadrage = true;
    cadrage.cadrePrevu(prevue);
    enCadrage = false;
    if (montreCharge)
        fenetre.plot->replot(QCustomPlot::rpQueuedReplot);
    else if (!externe)
        fenetre.carte->esquisse(fenetre.plot->viewport().size());
}

// The points' box of what is loaded: the map's curves', or that of the
// files read without curves (kalu-export's raster pictures).
Registre::Etendue Seance::etendueLue()
{
    return externe ? *externe : fenetre.carte->etendue();
}

void Seance::recadre()
{
    if (externe)
        cadrage.cadre(*externe);
    else
        fenetre.carte->recadre();
}

// ---- A load read elsewhere --------------------------------------------------
// Each step is the one the window's own load takes at the same point.

void Seance::lectureCommence(const QStringList &fichiers)
{
    commence(fichiers, false);
    entiere = true;
    vueLibre = false;
    bilan = Bilan();
}

void Seance::lectureFichier(const QString &chemin, const Registre::Etendue &etendue)
{
    externe = &etendue;
    cadrePrevu(nullptr, chemin.toUtf8().constData());
    externe = nullptr;
}

void Seance::lectureAcceptee(const QString &chemin, const Lecture &lue,
                             const Registre::Etendue &etendue)
{
    fenetre.titre->setText(QString("Shapefile: '%1'").arg(chemin));
    externe = &etendue;
    cadrePrevu(&lue, nullptr);
    externe = nullptr;
}

void Seance::lectureFinie(const QString &chemin, Chargement::Refus refus, int courbes)
{
    fichierFini(chemin, refus, courbes);
}

void Seance::lectureTerminee(const Registre::Etendue &etendue)
{
    issue = bilan.fin(fenetre.plot->plottableCount());
    montreIssue();
    externe = &etendue;
    cadreFin();
    externe = nullptr;
}
