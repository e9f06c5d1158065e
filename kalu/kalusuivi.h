// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalusuivi: the curves' states (shown, selected) as the map last read them,
// and the curves whose state may have changed since, so that a replot of a
// million curves reads only those.
//
// Reading every curve's state (a million objects all over the heap) takes
// tens of milliseconds. On maps of up to lectureComplete curves (65,536 by
// default) each reading reads them all; on bigger ones only the curves
// selected at the last reading and those the clicks and removals told of
// (suspecte): a change made directly on a curve there (setSelection,
// setVisible) is not seen, and the window makes none.
//
// Threads: GUI thread only. The states it hands out are immutable: any
// thread may read them.
#ifndef KALUSUIVI_H
#define KALUSUIVI_H

#include <memory>
#include <vector>

#include "kaluregistre.h"
#include "kaluscene.h"

class Suivi
{
  public:
    explicit Suivi(const Registre &registre) : registre(registre) {}

    // The curves' states now, by rank. True in `entiers` when every selected
    // curve is selected as a whole (a partial drawing can then show it).
    std::shared_ptr<const Etats> lis(bool *entiers);
    // The ranks selected at the last reading.
    const std::vector<int> &choisies() const { return choisies_; }
    // The ranks of the curves selected now, in order, read as lis() reads.
    std::vector<int> choisiesPossibles() const;
    // The states of the `n` curves from rank `debut`, read as lis() reads
    // them, without keeping them: on a big map, a curve lis() would not read
    // again is shown and not selected, as a curve is made. A load's last lot
    // holds hundreds of thousands of curves.
    Etats lisDepuis(size_t debut, size_t n) const;

    // The curve at `rang` may have changed state.
    void suspecte(int rang) { suspects.push_back(rang); }
    // `lus` are the curves' states as they are now (a load's pictures were
    // drawn in them): the last reading, without reading the curves again.
    void adopte(const std::shared_ptr<const Etats> &lus);

    // The map was emptied: no curve of the next is selected until one is
    // suspected.
    void vide();

    // Tests: 0 reads as a big map does.
    void setLectureComplete(size_t courbes) { lecture = courbes; }

    // The state of one curve; 0 for a hole.
    static uint8_t etat(const Courbe *c);

  private:
    bool entiere() const;
    std::vector<int> aRelire() const;

    const Registre &registre;
    std::shared_ptr<const Etats> etats_;
    std::vector<int> choisies_, suspects;
    unsigned structure = ~0u; // the registry's, when they were read
    unsigned rangs = ~0u;     // the registry's ranks, then
    size_t lecture = 65536;
};

#endif
