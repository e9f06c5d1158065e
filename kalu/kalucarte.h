// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalucarte: what keeps a map of a million parts as fluid as one of a
// thousand, while every part stays one QCPCurve with its legend item.
//
// What it guarantees:
// - Loading is linear: a curve and its legend item are registered with the
//   plot, its layers and its QObject trees in constant time (the library's
//   own registration searches lists that grow with the map). A curve's
//   legend item is made when the legend shows or someone asks for it.
// - Every picture that ends a gesture, a click or an edit is pixel-identical
//   to the library's plain full replot of the same state, overlapping
//   translucent polygons included.
// - During a drag, and during a burst of wheel turns until they pause for
//   PAUSE_MOLETTE ms, the curves are shown from the picture of the last
//   complete drawing, moved and scaled with the ranges; axes, grid, titles
//   and legend stay live. One complete drawing ends the gesture.
// - A replot whose view is unchanged copies the last complete drawing, and
//   redraws only the neighbourhood of the curves whose selection changed.
// - A click asks only the curves near it: a grid index of the curves'
//   boxes answers for the others, and its answer is exact.
// - A complete drawing skips, without reading their points, the curves
//   whose box lies outside the view.
//
// Pictures are kept for the plot's own paint buffers at one device pixel
// per pixel; elsewhere (exports, high-density screens) every drawing is
// complete. The plot's other layers, its legend and its signals are the
// library's.
#ifndef KALUCARTE_H
#define KALUCARTE_H

#include <QImage>
#include <QTimer>

#include <vector>

#include "qcustomplot.h"

class Carte;

// The plot's legend, linear in its number of items: the library's own add
// looks for the first free cell and widens every row on each call, and a
// hidden legend still measures every item's text on each replot. Items are
// in one column, item i in row i, as the library lays them out.
//
// Items are made only when something needs them: when the legend shows,
// or when asked (Carte::faitEntrees). Until then a curve simply has none, so
// that a map of a million hidden items costs neither their memory nor the
// passes of every click over them.
class Legende : public QCPLegend
{
public:
    // The map whose curves' items this legend makes when it shows.
    void setCarte(Carte *carte) { this->carte = carte; }

    // Appends one item per curve, in order, each as a new last row, on the
    // layer of the items (above the legend's box).
    void ajoute(const QVector<QCPAbstractPlottable *> &courbes, QCPLayer *couche);

    // Appends `item` as a new last row. Takes ownership.
    void ajoute(QCPAbstractLegendItem *item);

    // A hidden legend is neither laid out nor measured.
    void update(UpdatePhase phase) override;
    QSize minimumOuterSizeHint() const override;
    QSize maximumOuterSizeHint() const override;

private:
    Carte *carte = nullptr;
};

// A curve that knows the box of its points and its place in the map.
//
// Hit test: a click farther than the selection tolerance from the box is
// refused at once, and so is one that the map's index rules out. A click
// inside a filled ring hits it (distance 0), with the ring's vertex nearest
// the click as the clicked point; otherwise the library's distance to the
// segments decides.
class Courbe : public QCPCurve
{
public:
    Courbe(QCPAxis *x, QCPAxis *y, const QCPRange &cles, const QCPRange &valeurs);
    ~Courbe() override;

    double selectTest(const QPointF &pos, bool onlySelectable, QVariant *details) const override;

    const QCPRange &boiteCles() const { return cles; }
    const QCPRange &boiteValeurs() const { return valeurs; }

    // Draws the curve as its layer would, without the painter's save and
    // restore around it: the caller sets the clip.
    void dessine(QCPPainter *painter) { applyDefaultAntialiasingHint(painter); draw(painter); }

protected:
    void deselectEvent(bool *selectionStateChanged) override;
    // An unselected curve without scatters is drawn as the library draws its
    // one unselected segment, with the same calls in the same order, but
    // without the lists, pen and polygon copies the general case needs, and
    // with its points turned to pixels directly when its box is in view.
    void draw(QCPPainter *painter) override;

private:
    friend class Carte;
    bool contient(const QPointF &pos, QVariant *details) const;
    void lignesDe(QVector<QPointF> &lignes) const;
    void trace(QCPPainter *painter, const QVector<QPointF> &lignes) const;

    QCPRange cles, valeurs;
    Carte *carte = nullptr; // null once the map is gone
    int rang = -1;          // place in the map's drawing order
    unsigned marque = 0;    // the map's last click query that found it
    bool choisieDessinee = false; // selection state of the last drawing
    bool placee = false;          // has a point, and so a box
};

// The map: the one layerable that draws every curve, on the layer just above
// the curves' own. During a replot the curves' layer lends it its children,
// so the layer draws none of them and the map draws them all, in the same
// order and with the same painter states; everywhere else (clicks, the
// library's exports) the curves are the layer's children as usual.
class Carte : public QCPLayerable
{
    Q_OBJECT

public:
    // The curves' layer and the map's own are made above "main"; the legend
    // items' layer above "legend".
    explicit Carte(QCustomPlot *plot);
    ~Carte() override;

    static Carte *de(QCustomPlot *plot);

    // Makes a curve on the plot's bottom and left axes, registered, placed
    // on the curves' layer and parented to the curves' holder, last in the
    // drawing order. The plot's list of plottables is set aside between
    // debutAjouts and finAjouts, so that each registration is short.
    void debutAjouts();
    // `place` tells whether the curve has a point to place at all: its box
    // is then that of its placed points.
    Courbe *ajoute(const QCPRange &cles, const QCPRange &valeurs, bool place);
    void finAjouts();

    // Fits the bottom and left axes to every curve, as the plot's
    // rescaleAxes(false) would, from the curves' boxes instead of their
    // points; the top and right axes follow their twins.
    void recadre();

    // A curve and its legend item are selected together, whichever of the
    // two was: both then are, the curve as a whole.
    void accordeSelection();

    // Gives every curve that has none its legend item, in order, each
    // selected as its curve is.
    void faitEntrees();

    // Removes every curve with its legend item, in an order where no step
    // scans what is left.
    void vide();

    // Lends the curves to the map for a drawing outside a replot (the
    // library's exports), so that the map draws them as in a replot, with
    // neither picture nor index.
    class Pret
    {
    public:
        explicit Pret(Carte *carte);
        ~Pret();
        Pret(const Pret &) = delete;
        Pret &operator=(const Pret &) = delete;

    private:
        Carte *carte;
    };

    // Benchmarks and tests: false draws every curve through its layer on
    // every replot, as the library does, with no picture kept and no index.
    static void setRapide(bool oui);
    static bool rapide();

    // What the replots drew: complete drawings of the map, pictures moved
    // during a gesture, partial redraws after a selection, copies of the
    // last drawing.
    struct Compteurs {
        int complets = 0, images = 0, partiels = 0, copies = 0;
    };
    const Compteurs &compteurs() const { return nombres; }

    // Called by Courbe: the curve at `rang` is being deleted.
    void oublie(int rang);
    // Called by Courbe::selectTest: whether the index rules `c` out for a
    // click at `pos`.
    bool exclut(const Courbe *c, const QPointF &pos) const;

    // The wheel's gesture ends after this pause, in ms.
    static const int PAUSE_MOLETTE = 150;

    // Whether a complete drawing of the present state is still to be shown.
    bool attendImage() const { return attente; }

signals:
    // The complete drawing of the present state is on screen.
    void imageComplete();

protected:
    void applyDefaultAntialiasingHint(QCPPainter *painter) const override;
    void draw(QCPPainter *painter) override;
    // Clicks, double-clicks and wheel turns reach the plot with only the
    // curves near the pointer, and the selected ones, on the curves' layer:
    // the library then asks and deselects those alone.
    bool eventFilter(QObject *objet, QEvent *event) override;

private slots:
    void avantReplot();
    void apresReplot();
    void appui(QMouseEvent *event);
    void mouvement(QMouseEvent *event);
    void relache();
    void molette();
    void finGeste();

private:
    struct Vue; // what a drawing depends on besides the curves
    struct Index;

    Vue vueActuelle() const;
    QRect zone() const;
    QRect boitePixels(const Courbe *c, const QRect &dans) const;
    void dessineTout(QCPPainter *painter);
    void dessineImage(QCPPainter *painter);
    void faitCourbesSeules();
    bool memeFond(const QImage &avant) const;
    bool dessinePartiel(QCPPainter *painter);
    void redessine(const std::vector<Courbe *> &changees);
    const Index &index() const;
    std::vector<int> proches(const QRectF &pixels) const;
    void compacte();
    QRectF voisinage(const QPointF &pos) const;
    QList<QCPLayerable *> candidats(const QPointF &pos, bool avecChoisies) const;

    QCustomPlot *plot;
    QCPLayer *naissance = nullptr; // "main", where new layerables are born
    QCPLayer *couche = nullptr;  // the curves' layer
    QCPLayer *entrees = nullptr; // the legend items' layer
    QObject *porteur = nullptr;  // the curves' QObject parent
    std::vector<Courbe *> courbes; // drawing order; null where one was deleted
    int trous = 0;
    unsigned version = 0; // of the set of curves
    QList<QCPLayerable *> pretees; // the curves' layer's children, while lent
    bool enReplot = false, pretDessin = false;
    QList<QCPAbstractPlottable *> deja; // the plottables set aside while adding
    bool ajouts = false;
    size_t sansEntree = 0; // rank of the first curve without a legend item
    // The curves' layer's children while an event sees only candidates.
    QList<QCPLayerable *> horsEvenement;
    bool enEvenement = false;

    // The last complete drawing: the paint buffer before the curves (fond)
    // and after them (image), and the view they were drawn for.
    QImage fond, image;
    Vue *vue;
    unsigned versionImage = ~0u;
    QImage courbesSeules; // the curves of `image` without the grid, for gestures

    mutable Index *grille = nullptr;
    mutable unsigned versionGrille = ~0u;
    // The last click query: its position and view, and its mark.
    mutable unsigned requetes = 0;
    mutable QPointF dernierePos;
    mutable Vue *vueRequete;
    mutable unsigned versionRequete = ~0u;
    mutable bool requeteValide = false;

    bool geste = false, appuye = false;
    bool attente = false, complete = false;
    QTimer pause;
    Compteurs nombres;
};

#endif
