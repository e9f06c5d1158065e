// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalucharge: a shapefile read and its curves' data made off the GUI
// thread, so that the window keeps repainting, following resizes and
// answering the window manager while a big file loads.
//
// One Lecture reads one file on a thread of its own: the reader first (a
// file it rejects gives no curve at all, as the reader returns nothing for
// it), then, record after record, the loader's trace lines ("rcdi=...",
// "parti=...") and one Piece per part: the part's points as curve data,
// ready to be lent to a QCPCurve, with their box. The GUI thread takes the
// pieces as they come and makes the curves; the reader's block of each
// record is freed as soon as its pieces are made.
//
// Memory: once read, a file whose curves would not fit in what the process
// may still take (zolplat_memoire) is refused before its first piece, its
// name in the message: neither Qt nor the plot survive an allocation that
// fails. Should memory still run out while the pieces are made (taken by
// others meanwhile), the pieces stop there, reported: no exception leaves
// the reading thread.
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

struct ShpData;

// One part of one record, made into curve data.
struct Piece {
    QSharedPointer<QCPCurveDataContainer> donnees;
    QCPRange cles, valeurs; // the box of the placed points
    bool place = false;     // whether any point could be placed
    bool polygone = false;  // a Polygon record's part, else a PolyLine's
    QString nom;            // "shp[<rcdi>][<parti>]"
};

class Lecture : public QObject
{
    Q_OBJECT

  public:
    // Starts reading `chemin` (8-bit, handed to the reader unchanged).
    explicit Lecture(std::string chemin);
    // Cancels the reading and waits for its thread: at most the record it
    // is on, read or made into pieces.
    ~Lecture() override;

    // The reading stops after the record it is on; no piece comes after.
    void annule() { arret = true; }

    // Moves the pieces ready so far to the end of `lot`.
    void prends(std::deque<Piece> &lot);

    // Where the reading is: after the reader, records made into pieces out
    // of the records read.
    int faits() const { return faits_; }
    int total() const { return total_; }

    // The verdict, once lu() was sent: the file is read and its curves will
    // fit in memory (accepte); or the reader rejected it, or it was read but
    // its curves would not fit (refusee; reported, naming the file).
    bool accepte() const { return accepte_; }
    bool refusee() const { return refusee_; }
    // True once the thread is done and every piece was made (or the
    // reading was cancelled or rejected): after the last pret().
    bool finie() const { return finie_; }

  signals:
    // The reader is done with the file: accepted (pieces follow) or
    // rejected (reported; nothing follows).
    void lu();
    // Pieces wait, or the reading ended: sent again only after prends().
    void pret();

  private:
    void lis();
    void decoupe(ShpData *shp, int count, std::vector<Piece> &lot);
    bool tient(const ShpData *shp, int count) const;
    void depose(std::vector<Piece> &lot, bool fin);

    const std::string chemin;
    std::atomic<bool> arret{false};
    std::atomic<int> faits_{0}, total_{0};
    std::atomic<bool> accepte_{false}, refusee_{false}, finie_{false};
    std::mutex garde;
    std::deque<Piece> prets; // under garde
    bool signale = false;    // under garde: a pret() is on its way
    bool derniere = false;   // under garde: the thread deposited its last
    std::thread fil;
};

#endif
