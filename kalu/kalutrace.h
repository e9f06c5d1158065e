// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalutrace: the one drawing of a curve. The curve's own draw (GUI thread,
// the library's exports, partial redraws) and the drawing jobs (worker
// threads) both go through dessineCourbe, so that no curve is ever drawn by
// two different codes, and every picture is the library's own.
//
// Threads: Habit::de reads a live curve and runs on the GUI thread only.
// An Habit is then a value; dessineCourbe runs on any thread, on a painter
// that thread owns.
#ifndef KALUTRACE_H
#define KALUTRACE_H

#include <QBrush>
#include <QPen>
#include <QVector>

#include <memory>
#include <vector>

#include "kaluvue.h"
#include "qcustomplot.h"

// How a curve is drawn, selected and not: its pens and brushes, its
// antialiasing as the plot resolves it, and the plot's hints.
struct Habit {
    QPen trait, traitChoisi;
    // The same, as a raster painter strokes them: a width of 1 made
    // cosmetic (one device pixel at any ratio), as the library does.
    QPen traitRaster, traitChoisiRaster;
    QBrush fond, fondChoisi;
    bool lisse = true;              // the curve's line (plottables' hint)
    bool lisseFond = true;          // its fill (fills' hint)
    bool ligne = true;              // a line style other than none
    bool polylignesRapides = false; // the plot's phFastPolylines hint

    // What `courbe` would draw with on its plot now. False in `ok` when
    // dessineCourbe can't draw it as the library would (scatters, another
    // selection decorator): that curve is the library's to draw.
    static Habit de(const QCPCurve &courbe, bool *ok);
    // Whether de(courbe) would give this look, and true in `ok`, without
    // making its pens: curves that share their pens and brushes compare as
    // pointers do.
    bool est(const QCPCurve &courbe) const;

    bool operator==(const Habit &h) const
    {
        // The raster pens follow from the others.
        return trait == h.trait && traitChoisi == h.traitChoisi && fond == h.fond &&
               fondChoisi == h.fondChoisi && lisse == h.lisse && lisseFond == h.lisseFond &&
               ligne == h.ligne && polylignesRapides == h.polylignesRapides;
    }
};

// The pixels of `vue` that the drawing of a curve whose points lie in this
// box may reach: half a pen, its antialiasing and the painter's half-pixel
// shift beyond the box.
QRectF portee(const Vue &vue, const QCPRange &cles, const QCPRange &valeurs);

// The pixels a drawing keeps along one direction: the rows [debut, fin]
// (or the columns), its clip widened by the reach of pens and
// antialiasing. A band of a job's picture.
struct Tranche {
    bool lignes = true; // rows, else columns
    double debut = 0, fin = 0;
};

// What the bands of one drawing share of a huge ring, made once rather
// than by each band that meets it: its lines, and its fill cut as the
// raster engine cuts a polygon of more points than one fill takes (entry R1
// of the register in kaluacces.h). Each cut is made once, by the first band
// that needs it; the halves it makes are then cut by the bands that need
// them, so that bands on either side of the first cut go on side by side.
// Its lines and pieces take their room from kalureserve's, and give it back
// when it is deleted. faitDecoupe makes it; then any number of threads may
// draw from it at once (dessineCourbe), until it is deleted.
struct Decoupe {
    Decoupe();
    ~Decoupe();
    QVector<QPointF> lignes;
    // The box of each piece of POINTS_PAR_MORCEAU lines in a row, so that a
    // band leaves out the pieces beyond it without walking their points.
    static const int POINTS_PAR_MORCEAU = 256;
    struct Bornes {
        double x0, x1, y0, y1;
    };
    std::vector<Bornes> bornes;
    struct Noeud;                  // a polygon of the cuts (kalutrace.cpp)
    std::unique_ptr<Noeud> racine; // the ring's fill; null when not cut
};

// Whether the bands of a drawing that meet a curve of `points` points are
// better off sharing its Decoupe than making it each.
bool aPartager(int points);

// The Decoupe of the curve as dessineCourbe draws it (same arguments).
void faitDecoupe(const Vue &vue, const QCPCurveDataContainer &donnees, const Habit &habit,
                 bool choisie, Decoupe *d, const QCPRange *cles = nullptr,
                 const QCPRange *valeurs = nullptr);

// Whether `courbe`'s selection is all of it (true), none of it (false); a
// curve selected in part is neither, and is the library's to draw.
bool choisieEntiere(const QCPCurve &courbe, bool *ok);

// Draws one curve, with `choisie` its selected look, as QCPCurve::draw does
// on `painter` after its layer's set-up (clip and the curve's default
// antialiasing, which this applies first). `lignes` is room the caller
// keeps between calls. `cles` and `valeurs`, when given, hold every point
// that is not NaN (see lignesCourbe). With `tranche`, only its pixels are
// meant to be right, as its clip keeps them: the points that can't reach it
// are left out, so that a band costs what meets it. `partage`, if given,
// is the curve's Decoupe for this drawing (the same vue, look and state):
// its lines and cuts are taken from it.
void dessineCourbe(QCPPainter *painter, const Vue &vue, const QCPCurveDataContainer &donnees,
                   const Habit &habit, bool choisie, QVector<QPointF> &lignes,
                   const QCPRange *cles = nullptr, const QCPRange *valeurs = nullptr,
                   const Tranche *tranche = nullptr, const Decoupe *partage = nullptr);

#endif
