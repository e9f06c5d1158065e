// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalucourbe: a curve of the map, one part of one shapefile record, that
// knows the box of its points and its place among the map's curves.
//
// A curve does not know the map's class: it tells whoever holds it (its
// Tutelle, the map) that it goes or that its selection may have changed,
// and asks it first when the library hit-tests it. So the map's modules
// (kaluregistre, kaluclic, kalucarte) include this one, and never the
// other way round.
//
// Threads: GUI thread only, as every QCPCurve. The drawing jobs never see a
// Courbe: they get its data and box through a Scene.
#ifndef KALUCOURBE_H
#define KALUCOURBE_H

#include <memory>

#include "qcustomplot.h"

// Hit test: a click farther than the selection tolerance from the box is
// refused at once, and so is one that the map's index rules out. A click
// inside a filled ring hits it (distance 0), with the ring's vertex nearest
// the click as the clicked point; otherwise the library's distance to the
// segments decides. During a click the map answers for its curves: the one
// it elected (see Clic) alone is hit.
class Courbe : public QCPCurve
{
  public:
    // What a curve tells the map that holds it, and asks it.
    class Tutelle
    {
      public:
        // The curve at `rang` is being deleted.
        virtual void oublie(int rang) = 0;
        // The selection of the curve at `rang` may have changed.
        virtual void suspecte(int rang) = 0;
        // True when the map answers the hit test of `c` at `pos`, with the
        // distance (-1: not hit) in `*distance` and the details.
        virtual bool repond(const Courbe *c, const QPointF &pos, bool onlySelectable,
                            double *distance, QVariant *details) = 0;

      protected:
        ~Tutelle() = default;
    };

    Courbe(QCPAxis *x, QCPAxis *y, const QCPRange &cles, const QCPRange &valeurs);
    ~Courbe() override;

    double selectTest(const QPointF &pos, bool onlySelectable, QVariant *details) const override;

    // Takes `d` as its selection decorator, shared with the curves of the
    // same look: a million parts keep one instead of a million. A shared
    // decorator is never replaced (setSelectionDecorator, or partageChoix
    // again: the one shared would be deleted under the curves sharing it)
    // nor changed through one curve; the last curve holding it frees it.
    void partageChoix(std::shared_ptr<QCPSelectionDecorator> d);

    // The curve is part `parti` of record `rcdi`: its name is
    // "shp[<rcdi>][<parti>]". The name is made only when something shows it
    // (nomme, nom): a million names took 64 MB and the reading thread's
    // time, for a legend that shows below 30 curves. Until then name() is
    // empty.
    void numerote(int rcdi, int parti)
    {
        this->rcdi = rcdi;
        this->parti = parti;
    }
    // The name set, or else the one its numbers make.
    QString nom() const;
    // Sets the name its numbers make, for the library to show (its legend
    // item), unless one was set before; written straight into the
    // library's name (entry B17 of the register in kaluacces.h).
    void nomme();

    const QCPRange &boiteCles() const { return cles; }
    const QCPRange &boiteValeurs() const { return valeurs; }

    // Draws the curve as its layer would, without the painter's save and
    // restore around it: the caller sets the clip.
    void dessine(QCPPainter *painter)
    {
        applyDefaultAntialiasingHint(painter);
        draw(painter);
    }

    // The hit test without the map's word: the library's distance, or 0
    // inside a filled ring.
    double mesure(const QPointF &pos, bool onlySelectable, QVariant *details) const;

  protected:
    // Both tell the map that the curve's selection may have changed.
    void selectEvent(QMouseEvent *event, bool additive, const QVariant &details,
                     bool *selectionStateChanged) override;
    void deselectEvent(bool *selectionStateChanged) override;
    // Through dessineCourbe, as the drawing jobs draw it; a curve that
    // drawing can't render (scatters, a selection in part) is the library's.
    void draw(QCPPainter *painter) override;

  private:
    // The map's parts keep the curve's place: the registry its rank and
    // holder, the click filter its mark, the map reads them.
    friend class Registre;
    friend class Clic;
    friend class Carte;
    bool pres(const QPointF &pos) const;
    bool tient(const QPointF &pos) const;
    void sommetProche(const QPointF &pos, QVariant *details) const;
    double distance(const QPointF &pos, bool onlySelectable, QVariant *details) const;

    QCPRange cles, valeurs;
    std::shared_ptr<QCPSelectionDecorator> choix; // the shared decorator, if any
    Tutelle *carte = nullptr;                     // null once the map is gone or has let it go
    int rang = -1;                                // place in the map's drawing order
    unsigned marque = 0;                          // the map's last click query that found it
    int rcdi = -1, parti = 0;                     // the name's numbers; -1 once named
    bool placee = false;                          // has a point, and so a box
};

// A plottable's name as the map shows it: a curve's made if not yet.
QString nomDe(const QCPAbstractPlottable *p);

#endif
