// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalutravail: one drawing of a scene's curves, made off the GUI thread on
// every core, as a job that can be cancelled at any time: of the whole
// picture, or of one rectangle of a picture drawn before (a selection or a
// removal that changed only the curves there).
//
// The picture is split into bands of rows, or of columns for a map that is
// a strip, of about equal work (the points of the curves that meet them).
// Each band is drawn on a picture of the full size, clipped to its pixels,
// by a painter set up as the plot's: the curves meeting the band, in the
// scene's order. Its pixels are then copied into the result. A band drawn
// that way gives exactly the pixels one pass would give it; a band drawn on
// a picture of its own size would not (the rasteriser's steps depend on
// where the picture starts).
//
// A curve that meets a band is drawn there without the runs of its points
// that stay beyond one side of the band: a country's border costs each band
// what reaches it, and a huge ring is shared between threads. A huge ring
// that several bands meet has its lines and each cut of its fill made once
// for all of them, by the first that needs it (the others wait for it), in
// room kept from the pictures before (kalureserve).
//
// Threads: a Travail is made, asked and deleted on the GUI thread; its work
// runs on the process's pool of drawing threads (one per core, made once,
// each keeping its memory from one job to the next), on its request alone
// (shared, read-only). annule() may be called from any thread and is
// noticed before the next curve is drawn. termine() is emitted on the GUI
// thread, once, when the picture is whole and the job was not cancelled.
// The destructor cancels and waits for the job's part of the pool, which
// stops after the curve it is drawing.
//
// Memory: a job for which memory runs out (a picture Qt can't make, or
// std::bad_alloc) cancels itself: estAnnule() turns true, termine() never
// comes, attends() returns; no exception leaves a drawing thread. The pool
// works with the threads the system gives, on the GUI thread when none.
#ifndef KALUTRAVAIL_H
#define KALUTRAVAIL_H

#include <QImage>
#include <QObject>
#include <QPainter>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "kaluindex.h"
#include "kaluscene.h"
#include "kalusurligne.h"

class Travail : public QObject
{
    Q_OBJECT

  public:
    struct Demande {
        std::shared_ptr<const Scene> scene;
        std::shared_ptr<const Etats> etats; // one per element of the scene
        Vue vue;
        // The plot's picture before the curves, in device pixels with the
        // view's ratio, ARGB32 premultiplied.
        QImage fond;
        // Also make the scene's click index.
        bool avecIndex = false;
        // Also make the curves alone (seules()).
        bool avecSeules = true;
        // The painter the curves would be drawn with: its hints and modes.
        QPainter::RenderHints indices;
        QCPPainter::PainterModes modes = QCPPainter::pmDefault;
        // A partial drawing: only the device pixels `dans` are drawn, every
        // curve that may reach them in order over the fond there; the rest
        // of the picture is `base`'s (a picture of the fond's size and
        // format, drawn for the same view). `seulesBase`, the curves alone
        // of `base`, if known: the curves alone are then made in `dans`
        // only (else not at all).
        QRect dans;
        QImage base, seulesBase;
        // If given, the curves whose drawing differs between `base` and
        // this drawing: only the tiles of `dans` where they may draw are
        // drawn (kalusurligne's Empreinte), with the curves that meet them.
        std::vector<int> changees;
        bool partiel() const { return !dans.isNull(); }
    };

    // Starts at once, on up to `fils` threads of the pool (at least one).
    Travail(Demande demande, int fils);
    ~Travail() override;

    // GUI thread: waits until the job's threads are done with it (an
    // export's drawing).
    void attends();

    void annule() { annulation.store(true, std::memory_order_relaxed); }
    bool estAnnule() const { return annulation.load(std::memory_order_relaxed); }

    const Demande &demande() const { return d; }
    // Once termine() came: the picture with the curves, and the index if
    // asked for.
    const QImage &image() const { return resultat; }
    // The curves alone of that picture, for the moved pictures of gestures
    // (null unless asked for).
    const QImage &seules() const { return courbesSeules; }
    // Once termine() came: the time from its start to its picture, s
    // (benchmarks).
    double temps() const { return temps_; }
    // Its threads have ended, cancelled or not.
    bool acheve() const { return fin.load(std::memory_order_acquire); }
    const std::shared_ptr<const Index> &index() const { return grille; }

    // The number of threads a job takes on this machine.
    static int filsParDefaut();

    // Cancels `travail`, if any, and keeps it among `arretes` until its
    // threads end, so that the GUI thread never waits for them; deletes
    // those that ended. True when a job was cancelled.
    static bool metDeCote(std::unique_ptr<Travail> &travail,
                          std::vector<std::unique_ptr<Travail>> &arretes);

    // What one of the pool's threads keeps between jobs.
    struct Poste;

  signals:
    void termine();

  private:
    struct Bande {
        int debut, fin;         // device rows, or columns, [debut, fin)
        std::vector<int> rangs; // the curves meeting them, in order
    };

    void prepare(Poste &poste);
    void boucle(Poste &poste);
    void acheve_();
    void decoupe();
    QRect cadre() const;
    void copie(uchar *vers, const uchar *de, const QRect &r) const;
    void copieDessin(uchar *vers, const uchar *de, const QRect &r) const;
    void dessineBande(const Bande &b, Poste &poste);

    // A huge ring more than one band meets: its Decoupe, made once.
    struct Partage {
        explicit Partage(int rang) : rang(rang) {}
        const int rang;
        std::once_flag fait;
        Decoupe decoupe;
    };
    const Decoupe *partage(int rang, const Scene::Element &e, bool choisie);

    const Demande d;
    const int fils;
    std::atomic<bool> annulation{false};
    std::atomic<int> prochaine{0};
    std::atomic<int> actifs{0}; // the job's threads still drawing
    std::atomic<bool> fin{false};
    std::mutex verrouFin;
    std::condition_variable finie;
    std::vector<Bande> bandes;
    std::deque<Partage> partages; // few: a search is quick
    bool lignes = true;           // bands of rows, else of columns
    QImage resultat, courbesSeules;
    uchar *pixels = nullptr; // resultat's, taken once
    std::unique_ptr<const Empreinte> empreinte;
    const std::chrono::steady_clock::time_point debut = std::chrono::steady_clock::now();
    double temps_ = 0;
    std::shared_ptr<const Index> grille;
};

// In a slot of a job's end (a Travail's or a Finition's): the job held in
// `tenu`, if it is the signal's sender, taken from it and deleted once the
// delivery is over, or with `parent` if that comes first; else null (a job
// no longer the one held). GUI thread.
template <class T> T *prendFini(std::unique_ptr<T> &tenu, const QObject *envoyeur, QObject *parent)
{
    if (!tenu || envoyeur != tenu.get())
        return nullptr;
    T *fini = tenu.release();
    fini->setParent(parent);
    fini->deleteLater();
    return fini;
}

// What a complete picture made otherwise than by one job (lot after lot, as
// a load went) still lacks: the curves alone of the picture, for the moved
// pictures of gestures, and the click index of its scene; made on the pool,
// off the GUI thread, which would stall tens of ms on a million curves.
//
// Threads: made, asked and deleted on the GUI thread; termine() once, on
// the GUI thread, unless it was cancelled or deleted first. Deleting one,
// or replacing it, cancels it and never waits for the pool: its task keeps
// what it works on (shared with the Finition, never the Finition itself)
// and drops it when it ends. When memory runs out, termine() never comes.
class Finition : public QObject
{
    Q_OBJECT

  public:
    Finition(QImage fond, QImage image, std::shared_ptr<const Scene> scene);
    ~Finition() override;

    // Any thread; its task then stops at its next step.
    void annule();

    // The picture and scene it completes; once termine() came, what it made.
    const QImage &image() const { return image_; }
    const std::shared_ptr<const Scene> &scene() const { return scene_; }
    const QImage &seules() const;
    const std::shared_ptr<const Index> &index() const;
    // Its task has ended, done or cancelled (tests).
    bool acheve() const;

    struct Tache;

  signals:
    void termine();

  private:
    static void fais(Tache &t);

    const QImage image_;
    const std::shared_ptr<const Scene> scene_;
    const std::shared_ptr<Tache> tache;
};

#endif
