// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalulecture: a shapefile read and its curves' data made off the GUI
// thread, so that the window keeps repainting, following resizes and
// answering the window manager while a big file loads.
//
// One Lecture reads one file on a thread of its own and follows the reader
// record after record: each record, once stored, is made into one Piece per
// part (the part's points as curve data, ready to be lent to a QCPCurve,
// with their box) and its block freed. The GUI thread takes the pieces as
// they come and makes the curves while the file is still being read. The
// reader's verdict comes last (lu()): a file it rejects halfway has given
// pieces already, which the caller undoes. Only then, for a file accepted,
// the loader's trace lines ("rcdi=...", "parti=...") are written, all of
// them at once, so that a rejected file's terminal shows the reader's
// reasons alone.
//
// Memory: the reader's arrays lie in mappings of their own, grown without
// copies (zolshp). A file whose curves would not fit in what the process
// may still take (zolplat_memoire) is refused, its name in the message,
// once the records read so far need more than that, or, past an eighth of
// the file, once they would at the same rate by its end: neither Qt nor
// the plot survive an allocation that fails. Every forecast (the parts to
// come, the memory, the percentages) is taken from the size the reader
// measured on the file it reads, and bounded by what the rest of that file
// can hold. Should memory still run out on the reading thread (taken by
// others meanwhile), wherever it does (the pieces, their hand-over, a
// signal), the file is refused the same way: no exception leaves the
// reading thread.
//
// Threads: a Lecture is made, asked and deleted on the GUI thread; its
// signals arrive there. Pieces are plain values: the curve data they share
// is never touched by the reading thread once handed over.
#ifndef KALUCHARGE_H
#define KALUCHARGE_H

#include <QObject>
#include <QSharedPointer>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "qcustomplot.h"

struct ShpEnregistrement;

// One part of one record, made into curve data.
struct Piece {
    QSharedPointer<QCPCurveDataContainer> donnees;
    QCPRange cles, valeurs;  // the box of the placed points
    bool place = false;      // whether any point could be placed
    bool polygone = false;   // a Polygon record's part, else a PolyLine's
    int rcdi = 0, parti = 0; // the record's index in the file, the part's in it
    int pourcent = 0;        // of the file's bytes read up to its record
};

class Lecture : public QObject
{
    Q_OBJECT

  public:
    // Starts reading `chemin` (8-bit, handed to the reader unchanged). When
    // no thread can be had, the file is refused at once (reported; lu()
    // and arrivees() follow). Throws std::bad_alloc only when not even that
    // refusal's two events can be queued.
    explicit Lecture(std::string chemin);
    // Cancels the reading and waits for its thread: at most the record it
    // is on, read or made into pieces.
    ~Lecture() override;

    // The reading stops after the record it is on; no piece comes after.
    void annule() { arret = true; }

    // Moves the pieces ready so far to the end of `pieces`. Should `pieces` fail
    // to grow (std::bad_alloc, passed on), the pieces moved are in it and
    // the others wait for the next call: none is lost or given twice.
    // Without `attendre`, returns false at once, nothing moved, when the
    // reading thread is handing pieces over at that moment: the GUI thread
    // never waits for it (the reading thread may be off its core for a
    // while). The two threads share the waiting pieces only for a swap.
    bool prends(std::deque<Piece> &pieces, bool attendre = true);

    // The verdict, once lu() was sent: the file is read and its curves fit
    // in memory (accepte); or the reader rejected it, or its curves would
    // not fit (refusee; reported, naming the file). Either way the pieces
    // given so far are all there will be. Memory running out on the
    // reading thread refuses the file (refusee), whatever was given.
    bool accepte() const { return accepte_; }
    bool refusee() const { return refusee_; }
    // Once lu() was sent for an accepted file: the box of every point its
    // pieces placed. False when none placed any.
    bool boite(QCPRange &cles, QCPRange &valeurs) const;
    // Once lu() was sent for an accepted file: whether a record cut short
    // ended the reading (the reader warned), and the records read.
    bool tronquee() const { return tronquee_; }
    int enregistrements() const { return enregistrements_; }
    // The number of parts the file will give, as the records read so far
    // foretell it: room for the curves is made early, rather than grown by
    // copies of a million entries in the middle of the load. Never more
    // than the parts read plus a quarter of the bytes left in the file.
    int partiesPrevues() const { return prevues; }
    // True once the thread is done and every piece was made (or the
    // reading was cancelled or rejected): after the last arrivees().
    bool finie() const { return finie_; }

  signals:
    // The reader is done with the file: accepted (the last pieces may
    // follow) or rejected (reported; no piece follows).
    void lu();
    // Pieces wait, or the reading ended: sent again only after prends().
    void arrivees();

  private:
    void lis();
    bool suit(const ShpEnregistrement &e);
    void decoupe(const ShpEnregistrement &e);
    bool tient(const ShpEnregistrement &e);
    void depose();
    void remet();
    void termine();
    void envoie(void (Lecture::*signal)());

    const std::string chemin;
    std::atomic<bool> arret{false}, detruite{false};
    std::atomic<bool> accepte_{false}, refusee_{false}, finie_{false};
    std::atomic<int> prevues{0};
    std::atomic<bool> tronquee_{false};
    std::atomic<int> enregistrements_{0};
    // The reading thread's, until lu(): the file's size (as the reader
    // measured it on the file it reads), the memory left at the start,
    // what the records read so far need and the parts the file may give,
    // the pieces not yet handed over, the records made so far, whether
    // memory ran out, and the box of the placed points.
    long long taille = 0;
    uint64_t reste = 0, parties = 0, points = 0;
    double prevuesParties = 0;
    std::vector<Piece> paquet;
    int records = 0;
    bool plein = false, epuise = false;
    QCPRange cles_, valeurs_;
    bool place_ = false;
    std::mutex garde;
    std::vector<std::vector<Piece>> remis; // under garde: the batches handed over
    bool signale_ = false;                 // under garde: an arrivees() is on its way
    bool derniere = false;                 // under garde: the thread deposited its last
    // The GUI thread's: the batches taken from remis, moved to the caller's
    // from piece `recuPiece` of batch `recuPaquet` on, and whether the last was
    // among them.
    std::vector<std::vector<Piece>> recus;
    size_t recuPaquet = 0, recuPiece = 0;
    bool recuDerniere = false;
    std::thread fil;
};

#endif
