// SPDX-License-Identifier: GPL-3.0-or-later
//
// kaluchargement: a load as a job beside the user. The window starts it and
// goes on answering: the job reads its files one after another, each on a
// thread of its own (kalucharge), makes their curves on the GUI thread in
// slices of a few milliseconds between the window's events, and tells its
// progress and its end by signals. No event loop runs inside a slot: a
// drag, a click, a menu or the About box work on the map drawn so far while
// curves keep coming, and the job can be stopped at any moment.
//
// What a file leaves is what the loader always left: a file the reader
// accepts keeps its curves; one it rejects, one whose curves would not fit
// in memory, and the one being read when the job is stopped take back the
// curves they made. The job reports none of it on the terminal: the reader
// and the memory check say their own reasons, the window the rest, so the
// terminal's lines keep their place and their source.
//
// Progression, beside it, is the load's face in the status bar: the file and
// how far along it is, and a button that stops the load.
//
// Threads: everything here is made, asked and deleted on the GUI thread,
// and its signals are sent there. The reading threads are Lecture's.
#ifndef KALUCHARGEMENT_H
#define KALUCHARGEMENT_H

#include <QBrush>
#include <QElapsedTimer>
#include <QObject>
#include <QPen>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "kalulecture.h"
#include "kalutrace.h"

class Carte;
class QCPSelectionDecorator;
class QStatusBar;
class QToolButton;

class Chargement : public QObject
{
    Q_OBJECT

  public:
    // The looks every curve of the load shares, their selection decorators
    // included: polygons filled, lines not.
    struct Habits {
        QPen ligne, polygone;
        QBrush fond;
        std::shared_ptr<QCPSelectionDecorator> choixLigne, choixPolygone;
    };

    // Why a file was skipped: the reader rejected it (Illisible, reported
    // by the reader), it is a shapefile of a shape type that is not drawn
    // (TypeNonDessine, the reader's report too), or its curves would not fit
    // in memory (Memoire, reported by the memory check, naming the file).
    enum class Refus { Aucun, Illisible, TypeNonDessine, Memoire };

    // A job for `fichiers` (paths as UTF-8, handed to the reader unchanged),
    // adding its curves to `carte`. Nothing happens before commence().
    Chargement(Carte *carte, Habits habits, QStringList fichiers, QObject *parent = nullptr);
    // Stops a job still running, without its end's signals.
    ~Chargement() override;

    // Begins with the first file: fichierCommence() is sent before this
    // returns.
    void commence();
    // Stops the job: no curve is made after this; the files done keep their
    // curves, and so does the file being read, record by record (the curves
    // of a record not wholly made are taken back); termine(true) is sent
    // before this returns. Does nothing once the job has ended.
    void arrete();
    bool enCours() const { return etat == Etat::Lit; }
    // While fichierFini() of a file accepted is sent: whether a record cut
    // short ended its reading (the reader warned), and its records read.
    bool tronque() const { return tronque_; }
    int enregistrements() const { return enregistrements_; }
    // Once stopped: whether a file was being read (fichier()), the curves it
    // kept, and the number of parts it has, -1 when its reading was not over.
    bool fichierArrete() const { return arreteDedans; }
    int courbesGardees() const { return courbes; }
    int partiesConnues() const { return connues; }

    // The file being read, the percentage of its bytes made into curves.
    const QString &fichier() const { return chemin; }
    int pourcent() const { return pourcent_; }
    // The shape type the file being read declares in its header, and its
    // name ("PolygonZ"); -1 and empty for a file that is not a shapefile.
    static int typeDeclare(const std::string &chemin);
    static QString nomDuType(int type);

  signals:
    // Before the file's first curve.
    void fichierCommence(const QString &chemin);
    // The reader accepted the file: its box is known (Lecture::boite); its
    // last curves may still come.
    void fichierAccepte(const QString &chemin, const Lecture &lue);
    // Curves were made; the file is `pourcent` % along.
    void avance(int pourcent);
    // The file's curves are all made (`refus` Aucun, `courbes` of them), or
    // it was skipped, its curves taken back. Not sent for the file being
    // read when the job is stopped.
    void fichierFini(const QString &chemin, Refus refus, int courbes);
    // The job is over: every file done, or stopped (`arrete`).
    void termine(bool arrete);

  private:
    void lisSuivant();
    void tranche();
    void surLu();
    void finFichier(Refus refus);
    void lache();
    void cesse();
    void annonce();
    void faitCourbe(const Piece &p);

    Carte *carte;
    const Habits habits;
    const QStringList fichiers;
    int suivant = 0;
    enum class Etat { Avant, Lit, Fini } etat = Etat::Avant;

    // The file being read: its reading, the pieces taken from it and not yet
    // made into curves, the rank of its first curve, the curves made, and
    // whether its verdict came (a refusal makes no more curve).
    QString chemin;
    std::unique_ptr<Lecture> lecture;
    unsigned generation = 0; // the reading a queued verdict belongs to
    std::deque<Piece> pieces;
    size_t premiere = 0;
    size_t debutFiche = 0; // the rank of the first curve of the last record begun
    int courbes = 0, pourcent_ = 0;
    bool juge = false;
    bool tronque_ = false;
    int enregistrements_ = 0;
    // Of a stop: see fichierArrete.
    bool arreteDedans = false;
    int connues = -1;
    // The looks of the curves made so far, one of polygons and one of
    // lines, as the map's pictures draw them (-1: no such curve made yet):
    // the pieces waiting for their curves are announced to the map with
    // them (Carte::annonce), so that the pictures need not wait.
    std::vector<Habit> vus;
    int vu[2] = {-1, -1}; // in `vus`, of lines and of polygons
    QTimer tambour;       // makes curves while pieces wait, between events
    QTimer suite;         // the next file, once the present one's signals are over
};

// The load's progress in the status bar: "Lecture de « x » : n %" at most ten
// times a second, the button that stops the load shown, the busy pointer
// (the window still takes input). Gone at its end, leaving the status bar
// empty.
class Progression : public QObject
{
    Q_OBJECT

  public:
    // The stop button, made once for `barre`, hidden.
    static QToolButton *nouveauBouton(QStatusBar *barre);
    Progression(QStatusBar *barre, QToolButton *bouton);
    ~Progression() override;
    void debut(const QString &chemin);
    void avance(int pourcent);
    // The load is over, its picture still coming: the message stays, at
    // 100 %; the button and the busy pointer go.
    void fin();

  signals:
    // The user asked for the load to stop.
    void arret();

  private:
    void montre(int pourcent);
    void libere();

    QStatusBar *barre;
    QToolButton *bouton;
    QString nom;
    QElapsedTimer horloge;
    bool occupe = true; // the busy pointer is set
};

#endif
