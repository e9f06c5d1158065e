// SPDX-License-Identifier: GPL-3.0-or-later
//
// kaluacces: the reaches below QCustomPlot's public interface that are pure
// reaches (a protected list, a protected pointer), and, below, the register
// of every place in the viewer that depends on how QCustomPlot 2.1.0 or
// Qt 5.15 work inside. This is the one register: CONTRIBUTING.md
// ("Upgrading Qt or QCustomPlot") tells how to go through it and points
// here; each static_assert that stops another release names its entry.
//
// Threads: GUI thread only, as the plot itself.
//
// ---- The register ---------------------------------------------------------
// Each entry: what is reached or copied, where, why the public way won't do
// on a map of a million curves, what to compare in a new release, and the
// tests that fail when it changed (ctest -R <name>, Release and sanitizer).
//
// QCustomPlot 2.1.0 (static_assert QCUSTOMPLOT_VERSION in kaluacces.cpp,
// kalulignes.cpp, kalutrace.cpp):
//
// B1 QCustomPlot::mPlottables (acces::plottables; kaluregistre): addPlottable
//    searches the whole list before each append, removePlottable from the
//    front. Check: addPlottable, removePlottable, clearPlottables keep
//    nothing else in step with the list. Tests: kalu_test_acces (Listes),
//    kalu_test_manycurves.
// B2 QCPLayer::mChildren (acces::enfants; Carte::prete and rend in
//    kalucarte, Clic::eventFilter in kaluclic, kaluregistre): during a
//    replot the map takes the curves' layer's children, so that the layer
//    draws none; during a click the layer holds only the curves near the
//    pointer. Check: QCPLayer::draw, QCustomPlot::layerableListAt and the
//    event passes read the children and nothing cached from them. Tests:
//    kalu_test_acces (Listes), kalu_test_carte, kalu_test_clic.
// B3 QCPLayerable::mLayer (acces::demenage, acces::oublieCouche;
//    kaluregistre, faitEntrees in kalulegende.cpp): setLayer searches the
//    whole target layer first. Check: setLayer, moveToLayer,
//    ~QCPLayerable. Tests: kalu_test_acces (Listes), kalu_test_manycurves.
// B4 QCPLayoutGrid::mElements, mRowStretchFactors, mColumnStretchFactors
//    and adoptElement (Legende::ajoute, kalulegende.cpp): addItem looks for
//    the first free cell and widens every row at each call. Check:
//    QCPLayoutGrid::addElement, takeAt, simplify, expandTo keep no other
//    member in step. Test: kalu_test_acces (Legendes).
// B5 QCPAbstractPlottable::mSelectionDecorator (Courbe::partageChoix and
//    ~Courbe, kalucourbe.cpp): one decorator shared by all the curves of a
//    look, not a million. Check: ~QCPAbstractPlottable and
//    setSelectionDecorator delete it, nothing else does. Test:
//    kalu_test_acces (Decorateurs), under the sanitizer.
// B6 A copy of QCPCurve::getCurveLines and its helpers (lignesCourbe,
//    distanceLignes, kalulignes.cpp): the lines made from a Vue on any
//    thread, without the live axes. Check: the functions, line for line.
//    Tests: kalu_test_lignes (bit for bit), kalu_test_courbe (Distance).
// B7 A copy of QCPCurve::draw, QCPAbstractPlottable1D::drawPolyline, the
//    cosmetic pen of width 1 and QCPLayerable::applyAntialiasingHint
//    (dessineCourbe, trace, raster, lissage, Habit::de, kalutrace.cpp):
//    the jobs draw every curve as the library would, off the GUI thread.
//    Check: those functions. Tests: kalu_test_trace (Bibliotheque: each
//    kind of curve against QCPCurve::draw itself; the map's replot draws
//    through the copy too), the picture tests, kalu_test_carte,
//    kalu_test_travail, kalu_test_surligne, each at device pixel ratios 1,
//    1.5 and 2 (the _x1.5 and _x2 variants).
// B8 A copy of QCPCurve::selectTest and pointDistance (Courbe::distance,
//    kalucourbe.cpp): the library makes a ring's lines whole before
//    measuring; the copy measures them as they are made. Check: both
//    functions. Test: kalu_test_courbe (Distance).
// B9 A copy of QCPAxis::coordToPixel and pixelToCoord for linear axes
//    (Vue::pixelX, pixelY, cleX, valeurY, kaluvue.h): a view as a value a
//    job may read. Check: both functions, term for term (the rounding
//    follows the order of the terms). Test: kalu_test_vue (Transformation).
// B10 QCPLayer::draw clips each child to its clipRect() one row up
//    (Vue::zone; Cliche::champ, Carte::dessineTout, the jobs' clips): the
//    pixels a curve may touch. Check: QCPLayer::draw and
//    QCPAbstractPlottable::clipRect. Test: kalu_test_vue (Transformation).
// B11 A replot paints into a QCPPaintBufferPixmap, whose painter's
//    paintEngine()->paintDevice() is, on the raster platform, the QImage
//    under the pixmap, ARGB32 premultiplied, of the viewport's size times
//    the ratio (Cliche::tamponDe, kalucliche.cpp): the map copies its
//    picture into it with memcpy. Should it be anything else, tamponDe says
//    so with null and the map falls back to drawing every curve on the GUI
//    thread at each replot: right, but slow. Check: QCPPaintBufferPixmap
//    and QRasterPlatformPixmap. Test: kalu_test_image (Tampon).
// B12 beforeReplot comes before the layers draw, afterReplot after them,
//    and the library never replots within a replot (Carte::avantReplot,
//    apresReplot, Pret, kalucarte.cpp). Check: QCustomPlot::replot. Tests:
//    kalu_test_carte, kalu_test_export.
// B13 QCPAbstractPlottable::mPen, mBrush, QCPCurve::mScatterStyle and
//    QCPSelectionDecorator::mPen, mBrush, mScatterStyle (acces::trait,
//    fond, points; Habit::est, kalutrace.cpp): their getters return copies,
//    and a load compares each new curve's look with the last one's: eight
//    pens, brushes and scatter styles made and freed a curve. Check: the
//    getters still return these members. Test: kalu_test_acces (Habits).
// B14 A copy of QCPAxis::rescale's centring of a range of one value
//    (Cadrage::cadre, kalucadrage.cpp): the map fits the axes from the
//    curves' boxes, not from a million curves' data; a box of one value
//    on an axis is centred on it at the axis's present size, as rescale
//    does. Check: QCPAxis::rescale on a linear axis, its branch for a
//    range that is not validRange. Test: kalu_test_carte (Cadre).
// B15 Legende::update makes the items the curves miss during upPreparation
//    (Legende::update, setAvantMiseEnPage, kalulegende.h; the map's
//    faitEntrees, kalulegende.cpp): QCPLayout::update runs an element's
//    own update before its children's, and a replot runs upPreparation over
//    the whole layout before upMargins and upLayout, so the items made
//    then are prepared, measured and placed in the same replot. Check:
//    QCustomPlot::replot and updateLayout, QCPLayout::update,
//    QCPLayoutElement::update. Tests: kalu_test_loading (Chargeur, the
//    legend shown or hidden), kalu_test_legende (Beaucoup: the legend
//    laid out item below item), kalu_test_tirage.
// B16 The layout passes the library runs on a hidden legend
//    (Legende::update, minimumOuterSizeHint, maximumOuterSizeHint,
//    kalulegende.cpp): the axis rectangle's inset layout updates and
//    measures its elements whether they show or not; a hidden legend here
//    takes no pass and asks for no room, so its million items are never
//    measured. Check: QCPLayout::update, QCPLayoutInset::updateLayout and
//    QCPLegend's size hints lay a hidden element out as nothing. Tests:
//    kalu_test_loading (Chargeur), kalu_test_legende, kalu_test_export
//    (maps without a legend, byte for byte).
// B17 QCPAbstractPlottable::mName (Courbe::nom, nomme, kalucourbe.cpp): a
//    curve's name is made only when something shows it; nomme writes it
//    where name() and the legend items read it. Check: setName and name()
//    keep nothing but mName. Tests: kalu_test_loading, kalu_test_interaction
//    (Dialogues: a curve's name through its legend item).
//
// Qt 5.15's QObject (static_assert QT_VERSION in kalutrace.cpp):
//
// Q1 The order in which Qt searches and deletes a QObject's children:
//    setParent and ~QObject look a child up in its parent's list from the
//    front, and a parent deletes its children in the list's order. The
//    registry keeps its curves apart from the plot's own children under
//    holders, a new one per lot of adds and after each emptying, and
//    deletes its bin in the order the curves were parented
//    (Registre::nouveauPorteur, debutAjouts, vide, retireDepuis, jette,
//    kaluregistre.cpp); the map deletes the legend items it takes in their
//    order (Carte::vide, retireDepuis, kalucarte.cpp): each lookup then
//    finds its child first. Were the search to go from the back, or the
//    holders not kept, no picture would change but removing a million
//    curves would take time quadratic in their number. Check:
//    QObjectPrivate::setParent_helper, QObject::~QObject and deleteChildren.
//    Tests: kalu_test_manycurves (Beaucoup: removing all empties the plot
//    and the legend) for the result; the time only in bench/
//    (kalu_bench_viewer --vide).
// Q2 QObject::children() is the very list setParent appends to, and
//    reserving room in it changes nothing else (acces::enfantsQt;
//    Registre::fairePlace): the registry makes room in its holder's list
//    for the curves foretold, so that the list is not copied by doublings
//    during a load. Check: QObject::children returns d->children by
//    reference, and QObjectPrivate::setParent_helper appends to it. Tests:
//    kalu_test_acces (Listes), kalu_test_manycurves.
//
// Qt 5.15's raster engine (static_assert QT_VERSION in kalutrace.cpp):
//
// R1 QRasterPaintEngine::fillPolygon fills a polygon of more than 0xffff
//    points as two, cut at the median height (splitPolygon), and so on
//    (coupe, remplitTranche, kalutrace.cpp; the height, milieu,
//    kalumilieu.cpp, test kalu_test_milieu): a band must cut a huge ring
//    the same way before leaving points out; the cuts of a ring several
//    bands meet are made once for all of them (Decoupe, remplitNoeud;
//    Travail::partage, kalutravail.cpp). Test: kalu_test_trace (Bandes).
// R2 The engine fills a polygon of four or five points that looks like a
//    rectangle as a rectangle, with other pixels: resserre keeps at least
//    six points of a longer line (kalutrace.cpp). Test: kalu_test_trace
//    (Bandes: the square with points along its sides).
// R3 How far a pen of width 1 at most and its antialiasing reach beyond a
//    curve's points: 3 pixels beyond its box (portee, kalutrace.cpp), 4
//    beyond a band before its points are left out (PORTEE_TRAIT,
//    kalutravail.cpp), the fond copied ceil(2 x ratio) + 2 device pixels
//    around a band (Travail::dessineBande), a footprint's tiles widened by
//    the pen (Empreinte, kalusurligne.cpp). Tests: kalu_test_trace
//    (Portee, Bandes), kalu_test_surligne (Tuiles).
// R4 A clip leaves the pixels it keeps as they would be without it, and the
//    rasteriser's steps depend on where the picture starts: each band is
//    drawn clipped on a picture of the full size (kalutravail.cpp). Tests:
//    the picture tests at every ratio.
// R5 drawPolygon with a pen and a brush fills as without the pen, then
//    strokes the ring with the cosmetic stroker as drawPolyline does when
//    the ring is closed (its closing segment then of no length): a closed
//    ring of six points or more, without gaps, fill and line of one
//    antialiasing, is drawn in one call and the pen no longer changes twice
//    a curve (enUnTrait, kalutrace.cpp). Check: QRasterPaintEngine::
//    drawPolygon and QCosmeticStroker::drawPath. Test: kalu_test_trace
//    (Bibliotheque, against QCPCurve::draw).
#ifndef KALUACCES_H
#define KALUACCES_H

#include "qcustomplot.h"

namespace acces
{

// The plot's list of plottables (B1).
QList<QCPAbstractPlottable *> &plottables(QCustomPlot *plot);

// A layer's children, in drawing order (B2): the map lends them to itself
// during a replot, and hands the library's event passes only the curves
// near the pointer.
QList<QCPLayerable *> &enfants(QCPLayer *couche);

// A QObject's list of children, to make room in it ahead of many children
// (Q2).
QObjectList &enfantsQt(QObject *parent);

// Moves `l`, the last child of its layer, to the end of `vers` in constant
// time (B3).
void demenage(QCPLayerable *l, QCPLayer *vers);

// Forgets `l`'s layer without telling the layer, whose list the caller has
// emptied already: a layerable deleted later then searches nothing (B3).
void oublieCouche(QCPLayerable *l);

// What pen(), brush() and scatterStyle() return, without their copies (B13).
const QPen &trait(const QCPAbstractPlottable &p);
const QBrush &fond(const QCPAbstractPlottable &p);
const QCPScatterStyle &points(const QCPCurve &c);
const QPen &trait(const QCPSelectionDecorator &d);
const QBrush &fond(const QCPSelectionDecorator &d);
const QCPScatterStyle &points(const QCPSelectionDecorator &d);

} // namespace acces

#endif
