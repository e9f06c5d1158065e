// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalutrace.h"

#include "kaluacces.h"
#include "kalulignes.h"
#include "kalumilieu.h"
#include "kalureserve.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <mutex>
#include <typeinfo>
#include <utility>
#include <vector>

// The drawing repeats QCPCurve::draw and QCPAbstractPlottable1D::drawPolyline
// of QCustomPlot 2.1.0, and the bands cut huge polygons as Qt 5.15's raster
// engine does: another release must not build until they were compared.
static_assert(QCUSTOMPLOT_VERSION == 0x020100,
              "kalutrace.cpp draws curves as QCustomPlot 2.1.0's QCPCurve::draw does (entry B7 "
              "of the register in kalu/kaluacces.h): compare dessineCourbe, trace, raster and "
              "lissage with the new release, run the picture tests the register names at every "
              "ratio, go through the rest of the register, then change the version checked here");
static_assert(QT_VERSION >= QT_VERSION_CHECK(5, 15, 0) && QT_VERSION < QT_VERSION_CHECK(5, 16, 0),
              "the viewer depends on Qt 5.15's raster engine (entries R1 to R5, B11 and Q1 of the "
              "register in kalu/kaluacces.h): compare coupe, resserre, portee and the reach "
              "margins with the new release's QRasterPaintEngine, run kalu_test_trace, "
              "kalu_test_surligne and kalu_test_image at every ratio, then change the versions "
              "checked here");

namespace
{

// QCPLayerable::applyAntialiasingHint, resolved once.
bool lissage(const QCustomPlot *plot, bool local, QCP::AntialiasedElement element)
{
    if (plot && plot->notAntialiasedElements().testFlag(element))
        return false;
    if (plot && plot->antialiasedElements().testFlag(element))
        return true;
    return local;
}

// A pen as QCPAbstractPlottable1D::drawPolyline sets it on a raster
// painter: a width of 1 made cosmetic.
QPen raster(const QPen &trait)
{
    if (!qFuzzyCompare(trait.widthF(), 1.0))
        return trait;
    QPen cosmetique = trait;
    cosmetique.setWidth(0);
    return cosmetique;
}

// The line as QCPAbstractPlottable1D::drawPolyline strokes it with the
// painter's pen (made cosmetic already on a raster painter): a gap at every
// point that can't be drawn, or single segments under the fast-polylines
// hint. Qt 5's qIsNaN and qIsInf are calls into its library, three a point
// of every line: the standard tests, inlined, answer the same.
void trace(QCPPainter *painter, const QVector<QPointF> &lignes, bool rapides)
{
    const bool vectoriel = painter->modes().testFlag(QCPPainter::pmVectorized);
    const int n = lignes.size();
    const QPointF *p = lignes.constData();
    if (rapides && painter->pen().style() == Qt::SolidLine && !vectoriel &&
        !painter->modes().testFlag(QCPPainter::pmNoCaching)) {
        int i = 0;
        bool apresTrou = false;
        while (i < n && (std::isnan(p[i].y()) || std::isnan(p[i].x())))
            ++i;
        for (++i; i < n; ++i) {
            if (!std::isnan(p[i].y()) && !std::isnan(p[i].x())) {
                if (!apresTrou)
                    painter->drawLine(p[i - 1], p[i]);
                else
                    apresTrou = false;
            } else {
                apresTrou = true;
            }
        }
        return;
    }
    int debut = 0;
    for (int i = 0; i < n; ++i) {
        if (std::isnan(p[i].y()) || std::isnan(p[i].x()) || std::isinf(p[i].y())) {
            painter->drawPolyline(p + debut, i - debut);
            debut = i + 1;
        }
    }
    painter->drawPolyline(p + debut, n - debut);
}

// Runs of three or more points in a row that all lie beyond one side of
// the band keep only their ends. Each segment of such a run lies beyond
// that side, as does the one segment that replaces them: no row of the band
// gets another edge, winding or stroke, and the rasteriser treats rows one
// by one. A point with a NaN coordinate is never beyond a side, so the gaps
// of the line stay. At least six points stay of a longer line: the raster
// engine fills a polygon of four or five points that looks like a rectangle
// as a rectangle, with other pixels.
// (Entry R2 of the register in kaluacces.h.) The points kept of `de` are
// written to `vers`, which may be `de`, or only counted when it is null. A
// shared ring's lines come with their pieces' bounds (`bornes`, one a
// POINTS_PAR_MORCEAU points): a run goes over a piece wholly beyond its
// side at once, so a band walks the points near it, not the whole ring.
int resserre(const QPointF *de, int n, QPointF *vers, const Tranche &t,
             const Decoupe::Bornes *bornes = nullptr)
{
    auto cote = [&t](const QPointF &q) {
        const double c = t.lignes ? q.y() : q.x();
        return c < t.debut ? -1 : c > t.fin ? 1 : 0;
    };
    auto auDela = [&t, bornes](int j, int s) {
        const Decoupe::Bornes &b = bornes[j / Decoupe::POINTS_PAR_MORCEAU];
        return s < 0 ? (t.lignes ? b.y1 : b.x1) < t.debut : (t.lignes ? b.y0 : b.x0) > t.fin;
    };
    int garde = 0;
    for (int i = 0, j; i < n; i = j) {
        const int s = cote(de[i]);
        j = i + 1;
        while (s != 0 && j < n) {
            if (bornes && j % Decoupe::POINTS_PAR_MORCEAU == 0 && auDela(j, s))
                j = std::min(n, j + Decoupe::POINTS_PAR_MORCEAU);
            else if (cote(de[j]) == s)
                ++j;
            else
                break;
        }
        const int tete = s == 0 ? j - i : std::min(j - i - 1, std::max(1, 6 - 1 - garde - (n - j)));
        if (vers) {
            for (int k = i; k < i + tete; ++k)
                vers[garde++] = de[k];
            if (tete < j - i)
                vers[garde++] = de[j - 1];
        } else {
            garde += tete + (tete < j - i);
        }
    }
    return garde;
}

int resserre(QPointF *p, int n, const Tranche &t)
{
    return resserre(p, n, p, t);
}

// A dash's phase follows the length drawn before it, and a wide pen's
// joins reach beyond the band's margin: those lines are drawn whole.
bool resserrable(const QPen &trait)
{
    return trait.style() == Qt::SolidLine && trait.widthF() <= 1;
}

// Whether the box's points all lie within the band along its direction:
// the band would leave none of them out, and the pass over the points is
// spared (most lines of a map lie within one band). A band keeps the same
// pixels whether it leaves points out or not: the folds of a line at the
// view's edges, which rounding may place a hair outside the box, change
// only what is walked.
bool dansTranche(const Vue &vue, const QCPRange &cles, const QCPRange &valeurs, const Tranche &t)
{
    const double a = t.lignes ? vue.pixelY(valeurs.lower) : vue.pixelX(cles.lower);
    const double b = t.lignes ? vue.pixelY(valeurs.upper) : vue.pixelX(cles.upper);
    return std::min(a, b) >= t.debut && std::max(a, b) <= t.fin;
}

// Entry R1 of the register in kaluacces.h.
// Qt 5.15's raster engine fills a polygon of more than 0xffff points as two,
// cut at the median of its points' heights, each filled in turn, and so on
// (QRasterPaintEngine::fillPolygon and splitPolygon, whose steps these are).
// A band's fill must be cut the same way before its points are left out,
// or the rows along the cuts get other pixels.
const int POINTS_PAR_REMPLISSAGE = 0xffff;

// Room for the cuts, kept by each drawing thread: a ring of a million
// points asked tens of megabytes of new memory of every band, and its page
// faults cost more than the fill.
struct Coupes {
    std::vector<QPointF> entier;
    // Two a level of cuts; a deque, so that a deeper level grows it
    // without moving the levels above, whose halves are in use.
    std::deque<std::vector<QPointF>> moities;
};
thread_local Coupes coupes;

// The most points each half of a cut can take: its side's, and one a
// crossing.
struct Tailles {
    size_t haut = 0, bas = 0;
};
Tailles tailles(const QPointF *points, int n, double splitY)
{
    size_t dessous = 0, traversees = 0;
    bool avant = points[n - 1].y() < splitY;
    for (int i = 0; i < n; ++i) {
        const bool cote = points[i].y() < splitY;
        dessous += cote;
        traversees += cote != avant;
        avant = cote;
    }
    return {size_t(n) - dessous + traversees, dessous + traversees};
}

// `haut` and `bas` are given their room at once: grown point by point, the
// halves of a huge ring were copied again and again into new pages, which
// cost more than the cut. `gardees`: the halves outlive this thread's use
// of them (a shared ring's), and take their room from the reserve.
bool coupe(const QPointF *points, int n, std::vector<QPointF> &haut, std::vector<QPointF> &bas,
           double &milieu, bool gardees = false)
{
    // The value the library's sort puts in the middle, whatever the order
    // of equals.
    const qreal splitY = ::milieu(points, n);
    milieu = splitY;
    const Tailles place = tailles(points, n, splitY);
    if (gardees) {
        haut = reserve::points(place.haut);
        bas = reserve::points(place.bas);
    } else {
        haut.clear();
        bas.clear();
        haut.reserve(place.haut);
        bas.reserve(place.bas);
    }
    std::vector<QPointF> *bin[2] = {&haut, &bas};
    const QPointF *end = points + n;
    const QPointF *last = end - 1;
    for (const QPointF *p = points; p < end; ++p) {
        int side = p->y() < splitY;
        int lastSide = last->y() < splitY;
        if (side != lastSide) {
            if (qFuzzyCompare(p->y(), splitY)) {
                bin[!side]->push_back(*p);
            } else if (qFuzzyCompare(last->y(), splitY)) {
                bin[side]->push_back(*last);
            } else {
                QPointF delta = *p - *last;
                QPointF intersection(p->x() + delta.x() * (splitY - p->y()) / delta.y(), splitY);
                bin[0]->push_back(intersection);
                bin[1]->push_back(intersection);
            }
        }
        bin[side]->push_back(*p);
        last = p;
    }
    return int(haut.size()) < n && int(bas.size()) < n;
}

// The fill of the polygon `p` as the band keeps it, `niveau` cuts deep.
// `p` may be changed.
void remplitTranche(QPainter *painter, QPointF *p, int n, const Tranche &t, size_t niveau = 0)
{
    if (n > POINTS_PAR_REMPLISSAGE) {
        if (coupes.moities.size() < 2 * niveau + 2)
            coupes.moities.resize(2 * niveau + 2);
        std::vector<QPointF> &haut = coupes.moities[2 * niveau],
                             &bas = coupes.moities[2 * niveau + 1];
        double milieu = 0;
        if (coupe(p, n, haut, bas, milieu)) { // else the engine fills nothing
            // The cut runs along a row: `haut` holds the points from that
            // row on down, `bas` those above it, give or take the fuzzy
            // compare. A band of rows on one side gets nothing of the other
            // half, whose own cuts are left undone.
            if (!t.lignes || t.fin >= milieu - 1)
                remplitTranche(painter, haut.data(), int(haut.size()), t, niveau + 1);
            if (!t.lignes || t.debut <= milieu + 1)
                remplitTranche(painter, bas.data(), int(bas.size()), t, niveau + 1);
        }
        return;
    }
    painter->drawPolygon(p, resserre(p, n, t));
}

// The fill of `lignes`, which stay as they are, as the band keeps it.
void remplitTranche(QPainter *painter, const QVector<QPointF> &lignes, const Tranche &t)
{
    coupes.entier.assign(lignes.constBegin(), lignes.constEnd());
    remplitTranche(painter, coupes.entier.data(), int(coupes.entier.size()), t);
}

} // namespace

// A polygon of a shared ring's cuts: `n` points at `p` (the ring's lines at
// the root, else its own), cut into `haut` and `bas` once, by the first
// thread that needs them, its points then let go.
struct Decoupe::Noeud {
    ~Noeud() { reserve::rends(std::move(points)); }
    const QPointF *p = nullptr;
    int n = 0;
    std::vector<QPointF> points;
    std::once_flag fait;
    double milieu = 0;
    std::unique_ptr<Noeud> haut, bas; // none when the engine fills nothing
};

Decoupe::Decoupe() = default;

Decoupe::~Decoupe()
{
    racine.reset(); // it reads the lines
    reserve::rends(std::move(lignes));
}

namespace
{

std::unique_ptr<Decoupe::Noeud> noeud(std::vector<QPointF> points)
{
    std::unique_ptr<Decoupe::Noeud> m(new Decoupe::Noeud);
    m->points = std::move(points);
    m->p = m->points.data();
    m->n = int(m->points.size());
    return m;
}

// The fill of a shared ring's polygon as the band keeps it, as
// remplitTranche fills it, each cut made once whichever band needs it.
void remplitNoeud(QPainter *painter, Decoupe::Noeud &m, const Tranche &t)
{
    if (m.n <= POINTS_PAR_REMPLISSAGE) {
        std::vector<QPointF> &p = coupes.entier;
        p.resize(size_t(m.n));
        painter->drawPolygon(p.data(), resserre(m.p, m.n, p.data(), t));
        return;
    }
    std::call_once(m.fait, [&m] {
        std::vector<QPointF> haut, bas;
        if (coupe(m.p, m.n, haut, bas, m.milieu, true)) { // else the engine fills nothing
            std::unique_ptr<Decoupe::Noeud> h = noeud(std::move(haut)), b = noeud(std::move(bas));
            m.haut = std::move(h);
            m.bas = std::move(b);
        }
        reserve::rends(std::move(haut)); // the halves of a cut that fills nothing
        reserve::rends(std::move(bas));
        reserve::rends(std::exchange(m.points, {})); // no one reads them any more
    });
    if (!m.haut)
        return;
    if (!t.lignes || t.fin >= m.milieu - 1)
        remplitNoeud(painter, *m.haut, t);
    if (!t.lignes || t.debut <= m.milieu + 1)
        remplitNoeud(painter, *m.bas, t);
}

bool remplit(const QBrush &fond)
{
    return fond.style() != Qt::NoBrush && fond.color().alpha() != 0;
}

} // namespace

// Entry R3 of the register in kaluacces.h: how far the raster engine's pens
// of width 1 at most reach.
QRectF portee(const Vue &v, const QCPRange &cles, const QCPRange &valeurs)
{
    const double marge = 3;
    return QRectF(v.pixel(cles.lower, valeurs.lower), v.pixel(cles.upper, valeurs.upper))
        .normalized()
        .adjusted(-marge, -marge, marge, marge);
}

// What dessineCourbe can draw as the library would (entry B7 of the register
// in kaluacces.h); the others fall back to QCPCurve::draw.
static bool dessinable(const QCPCurve &courbe)
{
    const QCPSelectionDecorator *d = courbe.selectionDecorator();
    return acces::points(courbe).isNone() &&
           (d == nullptr || typeid(*d) == typeid(QCPSelectionDecorator)) &&
           (d == nullptr || acces::points(*d).isNone());
}

bool Habit::est(const QCPCurve &courbe) const
{
    const QCustomPlot *plot = courbe.parentPlot();
    const QCPSelectionDecorator *d = courbe.selectionDecorator();
    const QPen &t = acces::trait(courbe);
    const QBrush &f = acces::fond(courbe);
    return t == trait && f == fond && (d ? acces::trait(*d) : t) == traitChoisi &&
           (d ? acces::fond(*d) : f) == fondChoisi &&
           lissage(plot, courbe.antialiased(), QCP::aePlottables) == lisse &&
           lissage(plot, courbe.antialiasedFill(), QCP::aeFills) == lisseFond &&
           (courbe.lineStyle() != QCPCurve::lsNone) == ligne &&
           (plot && plot->plottingHints().testFlag(QCP::phFastPolylines)) == polylignesRapides &&
           dessinable(courbe);
}

Habit Habit::de(const QCPCurve &courbe, bool *ok)
{
    const QCustomPlot *plot = courbe.parentPlot();
    const QCPSelectionDecorator *d = courbe.selectionDecorator();
    Habit h;
    h.trait = courbe.pen();
    h.fond = courbe.brush();
    h.traitChoisi = d ? d->pen() : courbe.pen();
    h.traitRaster = raster(h.trait);
    h.traitChoisiRaster = raster(h.traitChoisi);
    h.fondChoisi = d ? d->brush() : courbe.brush();
    h.lisse = lissage(plot, courbe.antialiased(), QCP::aePlottables);
    h.lisseFond = lissage(plot, courbe.antialiasedFill(), QCP::aeFills);
    h.ligne = courbe.lineStyle() != QCPCurve::lsNone;
    h.polylignesRapides = plot && plot->plottingHints().testFlag(QCP::phFastPolylines);
    *ok = dessinable(courbe);
    return h;
}

// The bounds of each piece of `lignes`; a piece with a NaN point is never
// wholly beyond a side.
static void bornes(const QVector<QPointF> &lignes, std::vector<Decoupe::Bornes> *b)
{
    const int n = lignes.size(), k = Decoupe::POINTS_PAR_MORCEAU;
    b->resize(size_t((n + k - 1) / k));
    for (int m = 0; m * k < n; ++m) {
        Decoupe::Bornes &c = (*b)[size_t(m)];
        const QPointF *p = lignes.constData() + m * k, *fin = p + std::min(k, n - m * k);
        c.x0 = c.x1 = p->x();
        c.y0 = c.y1 = p->y();
        for (; p < fin; ++p) {
            if (std::isnan(p->x()) || std::isnan(p->y())) {
                c.x0 = c.y0 = -qInf();
                c.x1 = c.y1 = qInf();
                break;
            }
            c.x0 = std::min(c.x0, p->x());
            c.x1 = std::max(c.x1, p->x());
            c.y0 = std::min(c.y0, p->y());
            c.y1 = std::max(c.y1, p->y());
        }
    }
}

bool aPartager(int points)
{
    return points > POINTS_PAR_REMPLISSAGE;
}

void faitDecoupe(const Vue &vue, const QCPCurveDataContainer &donnees, const Habit &habit,
                 bool choisie, Decoupe *d, const QCPRange *cles, const QCPRange *valeurs)
{
    const QPen &trait = choisie ? habit.traitChoisi : habit.trait;
    d->racine.reset();
    if (d->lignes.capacity() == 0)
        d->lignes = reserve::lignes(size_t(donnees.size()));
    lignesCourbe(vue, donnees, trait.widthF(), &d->lignes, cles, valeurs);
    bornes(d->lignes, &d->bornes);
    if (remplit(choisie ? habit.fondChoisi : habit.fond) &&
        d->lignes.size() > POINTS_PAR_REMPLISSAGE) {
        d->racine.reset(new Decoupe::Noeud);
        d->racine->p = d->lignes.constData();
        d->racine->n = d->lignes.size();
    }
}

bool choisieEntiere(const QCPCurve &courbe, bool *ok)
{
    const QCPDataSelection &s = courbe.selection();
    *ok =
        s.isEmpty() || (s.dataRangeCount() == 1 && s.span() == QCPDataRange(0, courbe.dataCount()));
    return !s.isEmpty();
}

// Whether the raster engine, given the pen and the brush at once, fills
// and strokes `lignes` with the pixels of a fill without a pen followed by
// the line's drawPolyline (entry R5 of the register in kaluacces.h): the
// same fill, then the cosmetic stroker on the same points, which finds the
// ring closed either way and whose closing segment is then of no length.
// Not a ring of four or five points (filled as a rectangle, R2, and then
// stroked as one), nor one too big for one fill (R1), nor a line with gaps,
// nor a fill and a line of different antialiasing, nor lines drawn a
// segment at a time (phFastPolylines). Each pen change costs the engine a
// new stroker set-up: a map's curves then share one pen and one brush.
static bool enUnTrait(const QVector<QPointF> &lignes, const Habit &habit)
{
    const int n = lignes.size();
    if (n < 6 || n > POINTS_PAR_REMPLISSAGE || habit.lisseFond != habit.lisse ||
        habit.polylignesRapides || lignes.first().x() != lignes.last().x() ||
        lignes.first().y() != lignes.last().y())
        return false;
    for (const QPointF &q : lignes)
        if (!std::isfinite(q.x()) || !std::isfinite(q.y()))
            return false;
    return true;
}

// The library's calls, less those that change nothing the drawing shows: a
// repeated antialiasing hint, the pen before it is made cosmetic, the empty
// brush of the stroke (a polyline never fills), and for a closed ring the
// pen's change between its fill and its line (enUnTrait). The next curve
// sets all it draws with.
void dessineCourbe(QCPPainter *painter, const Vue &vue, const QCPCurveDataContainer &donnees,
                   const Habit &habit, bool choisie, QVector<QPointF> &lignes, const QCPRange *cles,
                   const QCPRange *valeurs, const Tranche *tranche, const Decoupe *partage)
{
    painter->setAntialiasing(habit.lisse);
    if (donnees.isEmpty())
        return;
    const QPen &trait = choisie ? habit.traitChoisi : habit.trait;
    const QBrush &fond = choisie ? habit.fondChoisi : habit.fond;
    // A shared ring's lines stay as they are: the band takes what it keeps.
    if (!partage)
        lignesCourbe(vue, donnees, trait.widthF(), &lignes, cles, valeurs);
    const QVector<QPointF> &source = partage ? partage->lignes : lignes;
    const bool remplie = remplit(fond);
    const bool tracee = habit.ligne && trait.style() != Qt::NoPen && trait.color().alpha() != 0;
    // A huge ring's fill keeps its band, and so the cuts made here: the
    // engine's own, made when given the whole ring, sort every height and
    // cost several times the fill.
    const bool enorme = remplie && source.size() > POINTS_PAR_REMPLISSAGE;
    if (tranche && ((tracee && !resserrable(trait)) ||
                    (!enorme && cles && valeurs && dansTranche(vue, *cles, *valeurs, *tranche))))
        tranche = nullptr;
    if (partage && !tranche) {
        lignes.resize(source.size());
        std::copy(source.constBegin(), source.constEnd(), lignes.begin());
    }

    const bool vectoriel = painter->modes().testFlag(QCPPainter::pmVectorized);
    auto sansTrait = [&] {
        if (habit.lisseFond != habit.lisse)
            painter->setAntialiasing(habit.lisseFond);
        painter->setBrush(fond);
        painter->setPen(Qt::NoPen);
    };
    const bool coupee = enorme && tranche;
    if (coupee) {
        sansTrait();
        if (partage && partage->racine)
            remplitNoeud(painter, *partage->racine, *tranche);
        else
            remplitTranche(painter, source, *tranche);
    }
    // What the band keeps of the fill of a smaller polygon is the line's too.
    if (tranche && partage) { // counted first: the room a band takes is what it keeps
        const QPointF *de = source.constData();
        const Decoupe::Bornes *bornes = partage->bornes.data();
        lignes.resize(resserre(de, source.size(), nullptr, *tranche, bornes));
        resserre(de, source.size(), lignes.data(), *tranche, bornes);
    } else if (tranche) {
        lignes.resize(resserre(lignes.data(), lignes.size(), *tranche));
    }
    if (remplie && !coupee && tracee && !vectoriel && enUnTrait(lignes, habit)) {
        painter->setBrush(fond);
        painter->setPen(choisie ? habit.traitChoisiRaster : habit.traitRaster);
        painter->drawPolygon(lignes.constData(), lignes.size());
        return;
    }
    if (remplie && !coupee) {
        sansTrait();
        painter->drawPolygon(lignes.constData(), lignes.size());
    }
    if (tracee) {
        if (habit.lisseFond != habit.lisse)
            painter->setAntialiasing(habit.lisse);
        painter->setPen(vectoriel ? trait : choisie ? habit.traitChoisiRaster : habit.traitRaster);
        trace(painter, lignes, habit.polylignesRapides);
    }
}
