// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalucadrage: the view fitted to a map's box at equal scale, as a load's
// end frames it (and, beforehand, the view it will end at), and one degree
// kept as long on screen through resizes.
//
// A fit is three steps on the bottom and left axes (the top and right ones
// follow them): the ranges set to the box, as the library's rescale sets
// them; one range widened about its centre so that both axes have the same
// data units per pixel, measured on the axis rectangle as the new ranges'
// tick labels lay it out; and, since keeping that scale while the labels
// move the rectangle's sides may narrow a range, the fit made again until
// the view covers the box.
//
// Threads: GUI thread only.
#ifndef KALUCADRAGE_H
#define KALUCADRAGE_H

#include <QSize>

#include <functional>

#include "kaluregistre.h"

class Lecture;
class QCustomPlot;

class Cadrage
{
  public:
    explicit Cadrage(QCustomPlot *plot) : plot(plot) {}

    // The ranges set to the box, as QCPAxis::rescale sets them: a range of
    // one value is centred in the axis's present size (entry B14 of the
    // register in kaluacces.h). A box not found changes nothing.
    void cadre(const Registre::Etendue &e) const;
    // Lays the plot out for its viewport as a replot does first, without
    // drawing.
    void metEnPage() const;
    // Widens the one range that needs it about its centre, so that both
    // axes have the same data units per pixel. An empty rectangle changes
    // nothing.
    void egalise() const;
    // Gives each axis, about its centre, the data units per pixel it had on
    // an axis rectangle of size `avant`, the plot laid out anew.
    void gardeEchelle(QSize avant) const;
    // Equal scales on the ranges set, measured with the tick labels in
    // place and kept when the labels of the equalised ranges move the
    // rectangle's sides; `egaliseur` equalises (egalise, or a caller's that
    // also tells what it does).
    void egaliseSur(const std::function<void()> &egaliseur) const;
    // While the view does not cover `e`: `recadre` sets the ranges to it
    // again, and they are equalised on the rectangle as it is now, which
    // only widens a range, until the layout holds still.
    void couvre(const Registre::Etendue &e, const std::function<void()> &recadre) const;

    // A load's end: the ranges set to `e`, the box of what stays, by
    // `recadre`, or, `e` not found, back to `avantX` and `avantY`, those
    // from before the load; equal scales by `egaliseur` (egaliseSur), and
    // the view covering `e` (couvre).
    void cadreFin(const Registre::Etendue &e, const std::function<void()> &recadre,
                  const QCPRange &avantX, const QCPRange &avantY,
                  const std::function<void()> &egaliseur) const;
    // Before a load's end, the view it will end at for the box `prevue`,
    // fitted as the end fits it, silently, so that the curves are drawn
    // where they will stay.
    void cadrePrevu(const Registre::Etendue &prevue) const;

    // The box a load will end at once its file `chemin` is read: `deja`
    // (the files read before), with the box of `lue`'s points if given and
    // known, else the box the file's header declares, if it is sound.
    static Registre::Etendue prevue(Registre::Etendue deja, const Lecture *lue, const char *chemin);

  private:
    QCustomPlot *plot;
};

#endif
