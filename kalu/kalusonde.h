// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalusonde: what the tests and the benchmarks reach of the map beyond its
// interface: its options for a run (drawing as the library does, threads,
// how its states are read) and what it tells of its work (counters, the
// load's pictures). The window and kalu-export never use it.
//
// Threads: the GUI thread, as the map.
#ifndef KALUSONDE_H
#define KALUSONDE_H

#include <cstddef>

#include "kalucarte.h"

class Sonde
{
  public:
    explicit Sonde(Carte *carte) : carte(carte) {}

    // false draws every curve through its layer on every replot, as the
    // library does: no job, no picture, no index.
    void setRapide(bool oui) { carte->setRapide(oui); }
    // The number of threads a job takes (default: one per core).
    void setFils(int n) { carte->setFils(n); }
    // The curves' states are read as kalusuivi tells; 0 reads every map as
    // a big one.
    void setLectureComplete(size_t courbes) { carte->setLectureComplete(courbes); }
    const Carte::Compteurs &compteurs() const { return carte->compteurs(); }
    size_t courbesEbauchees() const { return carte->courbesEbauchees(); }

  private:
    Carte *carte;
};

#endif
