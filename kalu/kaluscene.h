// SPDX-License-Identifier: GPL-3.0-or-later
//
// kaluscene: what the drawing jobs draw, as an immutable snapshot of the
// map's curves: each curve's data (shared with the curve, read only), the
// box of its points, its look, in drawing order. The state that changes
// between drawings (which curves show, which are selected) is an Etats of
// one byte a curve, made anew for each drawing.
//
// A scene is made after the set of curves grew or was compacted; removing
// a curve only changes the Etats (its data stays alive with the scene).
//
// Threads: scenes (Scene::nouvelle, fait, inscrit) and Etats are made on
// the GUI thread. A scene is never changed once made: any thread may read
// it through its shared pointer. Its last holder, whichever thread it is
// on, hands it to a thread of its own that frees it: a scene holds a
// million curves' data, and the GUI thread, which drops it as often as not
// (the map, its picture, a finished job), would spend tens of ms on it.
#ifndef KALUSCENE_H
#define KALUSCENE_H

#include <QSharedPointer>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "kalutrace.h"

struct Scene {
    struct Element {
        QSharedPointer<const QCPCurveDataContainer> donnees;
        QCPRange cles, valeurs; // the box of its placed points
        int habit = 0;          // in `habits`
        int points = 0;         // the data's size, at hand without reaching it
    };
    std::vector<Element> elements; // element i is the curve of rank i
    std::vector<Habit> habits;
    // Every curve can be drawn by dessineCourbe.
    bool dessinable = true;

    // An empty scene, freed off its last holder's thread.
    static std::shared_ptr<Scene> nouvelle();
    // Once the scenes let go before are freed, the memory the heap keeps
    // free goes back to the system, off the caller's thread: after a big
    // map is removed, the process no longer holds its size. Any thread.
    static void rendMemoire();

    // The scene of `courbes` (null entries are curves gone: they stay
    // empty elements). A curve here is any QCPCurve that knows the box of
    // its placed points (boiteCles, boiteValeurs): the scene needs nothing
    // else of the map's curves, and so does not know the map.
    template <class C> static std::shared_ptr<const Scene> fait(const std::vector<C *> &courbes)
    {
        std::shared_ptr<Scene> s = nouvelle();
        s->elements.reserve(courbes.size());
        for (const C *c : courbes) {
            if (c)
                s->inscrit(*c);
            else
                s->elements.emplace_back();
        }
        return s;
    }

    // What an element costs a load's lot, in points: its own, and its pens,
    // clip and polygon's set-up as 16 more.
    static long prix(const Element &e) { return e.points + 16L; }
    // How many of `elements` (a scene's, or parts announced ahead of their
    // curves) from `debut` on, before `fin`, a lot of `points` takes: at
    // least one, if any, the one that crosses the budget included.
    // `points` is left with what remains of the budget.
    template <class C>
    static size_t dansBudget(const C &elements, size_t debut, size_t fin, long &points)
    {
        size_t k = debut;
        while (k < fin && points > 0)
            points -= prix(elements[k++]);
        return k - debut;
    }

    // While the scene is being made: appends `c`'s element, with its box.
    template <class C> void inscrit(const C &c) { inscrit(c, c.boiteCles(), c.boiteValeurs()); }
    void inscrit(const QCPCurve &c, const QCPRange &cles, const QCPRange &valeurs);

  private:
    int dernier = -1; // the last look used
};

// One byte a curve of the scene: drawn or not, selected or not.
enum : uint8_t { VISIBLE = 1, CHOISIE = 2 };
using Etats = std::vector<uint8_t>;

// Draws the curves of `scene` at `rangs`, in that order, each with its
// state, on `painter` set up and clipped by the caller (to `tranche`, if
// given: see dessineCourbe). Stops, false, as soon as `annule` (if given)
// is set. Any thread, on a painter it owns; `lignes` is room the thread
// keeps between calls.
bool dessineRangs(QCPPainter *painter, const Vue &vue, const Scene &scene, const Etats &etats,
                  const std::vector<int> &rangs, QVector<QPointF> &lignes,
                  const std::atomic<bool> *annule = nullptr, const Tranche *tranche = nullptr);

#endif
