// SPDX-License-Identifier: GPL-3.0-or-later
//
// kaluseance: a load as the window lives it, from its start to its outcome
// in the status bar. The job (Chargement) makes the curves; a Seance starts
// it, shows its progress and stop button, names the file in the title,
// decides the legend's visibility, sets the view the load will end at
// before each file's first curve and fits it at the end, and gathers what
// the status bar tells once the load's picture is complete (Bilan).
//
// A view the user moves during a load is kept: the load then fits nothing.
// The ranges the Seance sets itself, or a resize keeps (gardeEchelle), are
// not the user's.
//
// kalu-export's raster pictures are read without curves (kalutirage): a
// Seance is then told each step of that load (Tirage::Temoin) and takes
// the same one its own load would, so that the view, the title, the
// legend's visibility, the trace lines and fichierCharge() are the same.
//
// Threads: GUI thread only, like the window whose parts it acts on; its
// signals are sent there.
#ifndef KALUSEANCE_H
#define KALUSEANCE_H

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

#include "kalubilan.h"
#include "kalucadrage.h"
#include "kaluchargement.h"
#include "kalutirage.h"

class Carte;
class QAction;
class QCPTextElement;
class QCustomPlot;
class QLabel;
class QStatusBar;
class QToolButton;

class Seance : public QObject, public Tirage::Temoin
{
    Q_OBJECT

  public:
    // The window's parts a load acts on, which must outlive the Seance:
    // the stop action is enabled while a load runs; `egalise` equalises
    // the scales with the window's trace lines, `habits` gives the looks
    // of a load's curves.
    struct Fenetre {
        QCustomPlot *plot;
        Carte *carte;
        QCPTextElement *titre;
        QStatusBar *barre;
        QToolButton *bouton;
        QAction *arret;
        QLabel *pointeur;
        std::function<void()> egalise;
        std::function<Chargement::Habits()> habits;
    };

    explicit Seance(Fenetre fenetre, QObject *parent = nullptr);
    // Ends a load under way silently, as a close does.
    ~Seance() override;

    // KaluView::chargeShapefiles: the files' number printed, every curve
    // removed, the whole load started; `replot`: its map shows as it comes.
    void charge(const QStringList &fichiers, bool replot);
    // Starts the job of `fichiers`; `entier`: a whole load, which sets the
    // view and ends fitted.
    void lance(const QStringList &fichiers, bool entier);
    // Stops the load under way: what was made stays, the status bar says
    // what was kept.
    void arrete();
    // A load replaced, emptied or closed: it ends here, neither fitted nor
    // reported.
    void abandonne();
    // "Remove all shapes": a load under way stops, the curves go, and the
    // status bar says what the stop kept, or forgets an outcome not shown.
    void vide();
    bool enCours() const { return chargement != nullptr; }
    // The load's progress shows (its picture may still be coming).
    bool progresse() const { return progression != nullptr; }
    // Home: the whole map framed as a load's end frames it; during a load,
    // the view the load ends at, which it then keeps.
    void cadreTout();
    // A resize of the plot: each axis keeps its data units per pixel on the
    // axis rectangle of size `avant`.
    void gardeEchelle(QSize avant);
    // Why the file fichierCharge() tells of was skipped.
    Chargement::Refus refus() const { return refus_; }

    void lectureCommence(const QStringList &fichiers) override;
    void lectureFichier(const QString &chemin, const Registre::Etendue &etendue) override;
    void lectureAcceptee(const QString &chemin, const Lecture &lue,
                         const Registre::Etendue &etendue) override;
    void lectureFinie(const QString &chemin, Chargement::Refus refus, int courbes) override;
    void lectureTerminee(const Registre::Etendue &etendue) override;

  signals:
    // As KaluView's signals of the same names.
    void fichierCharge(const QString &fichier, bool lu);
    void chargementFini();

  private:
    void commence(const QStringList &fichiers, bool replot);
    void fichierCommence(const QString &chemin);
    void fichierAccepte(const QString &chemin, const Lecture &lue);
    void fichierFini(const QString &chemin, Chargement::Refus refus, int courbes);
    void termine(bool arrete);
    QString arret(const Chargement &fait);
    void montreIssue();
    void vueBougee();
    void cadreFin();
    void cadrePrevu(const Lecture *lue, const char *chemin);
    Registre::Etendue etendueLue();
    void recadre();

    const Fenetre fenetre;
    Cadrage cadrage; // the plot's
    // The load under way, and its face in the status bar.
    std::unique_ptr<Chargement> chargement;
    std::unique_ptr<Progression> progression;
    // Of the load under way: whether it is a whole load (it fits the view
    // at its end), whether its map shows as it comes, whether the user
    // moved the view meanwhile, the ranges from before it.
    bool entiere = false;
    bool montreCharge = false;
    bool vueLibre = false;
    bool enCadrage = false; // the ranges are being set by the Seance itself
    QCPRange avantX, avantY;
    // While told of a load read elsewhere: its points' box.
    const Registre::Etendue *externe = nullptr;
    Bilan bilan; // what the load under way will tell at its end
    Chargement::Refus refus_ = Chargement::Refus::Aucun;
    // The outcome of the load just over, shown once its picture is
    // complete; its progress shows until then.
    std::optional<QString> issue;
};

#endif
