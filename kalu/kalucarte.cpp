// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalucarte.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Members the library keeps to itself and its subclasses. Never
// instantiated: each only names a member.
struct AccesPlot : public QCustomPlot {
    static QList<QCPAbstractPlottable *> &plottables(QCustomPlot *plot)
    {
        return plot->*(&AccesPlot::mPlottables);
    }
};
struct AccesCouche : public QCPLayer {
    static QList<QCPLayerable *> &enfants(QCPLayer *couche)
    {
        return couche->*(&AccesCouche::mChildren);
    }
};
struct AccesLayerable : public QCPLayerable {
    static QCPLayer *&couche(QCPLayerable *l) { return l->*(&AccesLayerable::mLayer); }
};

// Moves `l`, the last child of its layer, to the end of `vers` in constant
// time: the library's own move searches the whole target layer first.
void demenage(QCPLayerable *l, QCPLayer *vers)
{
    QList<QCPLayerable *> &depuis = AccesCouche::enfants(l->layer());
    Q_ASSERT(!depuis.isEmpty() && depuis.last() == l);
    depuis.removeLast();
    AccesCouche::enfants(vers).append(l);
    AccesLayerable::couche(l) = vers;
}

QCPLayer *nouvelleCouche(QCustomPlot *plot, const QString &nom, const QString &dessous)
{
    plot->addLayer(nom, plot->layer(dessous), QCustomPlot::limAbove);
    return plot->layer(nom);
}

// Pixels a curve's drawing may reach beyond the box of its points: half a
// pen, its antialiasing, and the painter's half-pixel shift.
const double MARGE_TRAIT = 3;

bool rapideActif = true;

} // namespace

// ---------------------------------------------------------------- Legende

void Legende::ajoute(QCPAbstractLegendItem *item)
{
    if (columnCount() > 1) { // not this window's layout; keep it right
        addItem(item);
        return;
    }
    mElements.append(QList<QCPLayoutElement *>() << item);
    mRowStretchFactors.append(1);
    if (mColumnStretchFactors.isEmpty())
        mColumnStretchFactors.append(1);
    adoptElement(item);
}

void Legende::update(UpdatePhase phase)
{
    if (!visible())
        return;
    if (carte && phase == upPreparation)
        carte->faitEntrees();
    QCPLegend::update(phase);
}

QSize Legende::minimumOuterSizeHint() const
{
    return visible() ? QCPLegend::minimumOuterSizeHint() : QSize(0, 0);
}

QSize Legende::maximumOuterSizeHint() const
{
    return visible() ? QCPLegend::maximumOuterSizeHint() : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

// ----------------------------------------------------------------- Courbe

Courbe::Courbe(QCPAxis *x, QCPAxis *y, const QCPRange &cles, const QCPRange &valeurs)
    : QCPCurve(x, y), cles(cles), valeurs(valeurs)
{
}

Courbe::~Courbe()
{
    if (carte)
        carte->oublie(rang);
}

double Courbe::selectTest(const QPointF &pos, bool onlySelectable, QVariant *details) const
{
    if (carte && carte->exclut(this, pos))
        return -1;
    QCPAxis *x = keyAxis(), *y = valueAxis();
    if (x == nullptr || y == nullptr || mDataContainer->isEmpty())
        return QCPCurve::selectTest(pos, onlySelectable, details);
    const double marge = mParentPlot->selectionTolerance();
    const QRectF boite = QRectF(QPointF(x->coordToPixel(cles.lower), y->coordToPixel(valeurs.lower)),
                                QPointF(x->coordToPixel(cles.upper), y->coordToPixel(valeurs.upper)))
                             .normalized()
                             .adjusted(-marge, -marge, marge, marge);
    if (!boite.contains(pos))
        return -1;
    if ((!onlySelectable || selectable() != QCP::stNone) && brush().style() != Qt::NoBrush &&
        x->axisRect()->rect().contains(pos.toPoint()) && contient(pos, details))
        return 0;
    return QCPCurve::selectTest(pos, onlySelectable, details);
}

// Even-odd rule, as the ring is filled; `details` gets the vertex nearest
// `pos` on screen.
bool Courbe::contient(const QPointF &pos, QVariant *details) const
{
    const double px = keyAxis()->pixelToCoord(pos.x()), py = valueAxis()->pixelToCoord(pos.y());
    bool dedans = false;
    auto debut = mDataContainer->constBegin(), fin = mDataContainer->constEnd();
    for (auto a = debut, b = fin - 1; a != fin; b = a++) {
        if ((a->value > py) != (b->value > py) &&
            px < (b->key - a->key) * (py - a->value) / (b->value - a->value) + a->key)
            dedans = !dedans;
    }
    if (!dedans)
        return false;
    if (details) {
        int proche = 0;
        double meilleure = -1;
        for (auto it = debut; it != fin; ++it) {
            const QPointF d = coordsToPixels(it->key, it->value) - pos;
            const double d2 = d.x() * d.x() + d.y() * d.y();
            if (meilleure < 0 || d2 < meilleure)
                meilleure = d2, proche = int(it - debut);
        }
        details->setValue(QCPDataSelection(QCPDataRange(proche, proche + 1)));
    }
    return true;
}

// Most curves of a big map are not selected: nothing to undo, no copy of
// an empty selection.
void Courbe::deselectEvent(bool *selectionStateChanged)
{
    if (!selected()) {
        if (selectionStateChanged)
            *selectionStateChanged = false;
        return;
    }
    QCPCurve::deselectEvent(selectionStateChanged);
}

void Courbe::draw(QCPPainter *painter)
{
    if (selected() || !mScatterStyle.isNone() || mDataContainer->isEmpty()) {
        QCPCurve::draw(painter);
        return;
    }
    static QVector<QPointF> lignes; // GUI thread only; keeps its room
    static const QPen sansTrait(Qt::NoPen);
    lignesDe(lignes);
    applyFillAntialiasingHint(painter);
    painter->setBrush(mBrush);
    painter->setPen(sansTrait);
    if (mBrush.style() != Qt::NoBrush && mBrush.color().alpha() != 0)
        painter->drawPolygon(lignes.constData(), lignes.size());
    if (mLineStyle != lsNone) {
        painter->setBrush(Qt::NoBrush);
        trace(painter, lignes);
    }
    if (mSelectionDecorator)
        mSelectionDecorator->drawDecoration(painter, selection());
}

// The library's pixels of the curve's line: for a curve whose box lies in
// the view, every point in order, computed as the axes compute them.
void Courbe::lignesDe(QVector<QPointF> &lignes) const
{
    const QCPAxis *x = mKeyAxis.data(), *y = mValueAxis.data();
    const QCPRange rx = x->range(), ry = y->range();
    const bool simple = x->orientation() == Qt::Horizontal && y->orientation() == Qt::Vertical &&
                        x->scaleType() == QCPAxis::stLinear && y->scaleType() == QCPAxis::stLinear &&
                        !x->rangeReversed() && !y->rangeReversed() && cles.lower >= rx.lower &&
                        cles.upper <= rx.upper && valeurs.lower >= ry.lower && valeurs.upper <= ry.upper;
    if (!simple) {
        getCurveLines(&lignes, QCPDataRange(0, dataCount()).adjusted(-1, 1), mPen.widthF());
        return;
    }
    const QRect rxr = x->axisRect()->rect(), ryr = y->axisRect()->rect();
    const double gauche = rxr.left(), largeur = rxr.width(), bas = ryr.bottom(), hauteur = ryr.height();
    const double tx = rx.size(), ty = ry.size();
    lignes.resize(mDataContainer->size());
    QPointF *p = lignes.data();
    for (const QCPCurveData &d : *mDataContainer)
        *p++ = QPointF((d.key - rx.lower) / tx * largeur + gauche, bas - (d.value - ry.lower) / ty * hauteur);
}

// The line as the library strokes it with the default plotting hints: a
// pen of width 1 made cosmetic on raster devices, a break at every point
// that can't be drawn. Its pen is made once per pen of the curves.
void Courbe::trace(QCPPainter *painter, const QVector<QPointF> &lignes) const
{
    if (mPen.style() == Qt::NoPen || mPen.color().alpha() == 0)
        return;
    if (mParentPlot->plottingHints().testFlag(QCP::phFastPolylines)) {
        painter->setPen(mPen);
        drawCurveLine(painter, lignes);
        return;
    }
    applyDefaultAntialiasingHint(painter);
    static QPen source, cosmetique;
    if (!painter->modes().testFlag(QCPPainter::pmVectorized) && qFuzzyCompare(mPen.widthF(), 1.0)) {
        if (!(source == mPen)) {
            source = mPen;
            cosmetique = mPen;
            cosmetique.setWidth(0);
        }
        painter->setPen(cosmetique);
    } else {
        painter->setPen(mPen);
    }
    int debut = 0;
    const int n = lignes.size();
    for (int i = 0; i < n; ++i) {
        const QPointF &q = lignes.at(i);
        if (qIsNaN(q.y()) || qIsNaN(q.x()) || qIsInf(q.y())) {
            painter->drawPolyline(lignes.constData() + debut, i - debut);
            debut = i + 1;
        }
    }
    painter->drawPolyline(lignes.constData() + debut, n - debut);
}

// ------------------------------------------------------------------ Carte

struct Carte::Vue {
    QCPRange x, y;
    QRect rect;
    QSize taille;
    bool operator==(const Vue &v) const
    {
        return x.lower == v.x.lower && x.upper == v.x.upper && y.lower == v.y.lower &&
               y.upper == v.y.upper && rect == v.rect && taille == v.taille;
    }
};

// A grid over the boxes of the curves, in data coordinates. A curve goes in
// every cell its box meets, or in `grands` when that would be many cells.
struct Carte::Index {
    double x0 = 0, y0 = 0, dx = 1, dy = 1;
    int nx = 0, ny = 0;
    std::vector<int> debut; // cell c holds rangs[debut[c] .. debut[c+1])
    std::vector<int> rangs;
    std::vector<int> grands;

    int cx(double x) const { return std::max(0, std::min(nx - 1, int(std::floor((x - x0) / dx)))); }
    int cy(double y) const { return std::max(0, std::min(ny - 1, int(std::floor((y - y0) / dy)))); }
};

namespace {
const int CELLULES_MAX = 16; // beyond, a curve is one of the grands
}

Carte::Carte(QCustomPlot *plot)
    : QCPLayerable(plot), plot(plot), vue(new Vue), vueRequete(new Vue)
{
    naissance = plot->layer(QStringLiteral("main"));
    couche = nouvelleCouche(plot, QStringLiteral("courbes"), QStringLiteral("main"));
    setLayer(nouvelleCouche(plot, QStringLiteral("carte"), QStringLiteral("courbes")));
    entrees = nouvelleCouche(plot, QStringLiteral("entrees"), QStringLiteral("legend"));
    // Qt finds a child in its parent's list from the front on every
    // reparenting and deletion: with the curves kept apart, the plot's own
    // list stays short.
    porteur = new QObject(plot);
    porteur->setObjectName(QStringLiteral("courbes"));
    plot->setProperty("kalu-carte", QVariant::fromValue<QObject *>(this));

    connect(plot, &QCustomPlot::beforeReplot, this, &Carte::avantReplot);
    connect(plot, &QCustomPlot::afterReplot, this, &Carte::apresReplot);
    connect(plot, &QCustomPlot::mousePress, this, &Carte::appui);
    connect(plot, &QCustomPlot::mouseMove, this, &Carte::mouvement);
    connect(plot, &QCustomPlot::mouseRelease, this, &Carte::relache);
    connect(plot, &QCustomPlot::mouseWheel, this, &Carte::molette);
    plot->installEventFilter(this);
    pause.setSingleShot(true);
    pause.setInterval(PAUSE_MOLETTE);
    connect(&pause, &QTimer::timeout, this, &Carte::finGeste);
}

Carte::~Carte()
{
    for (Courbe *c : courbes)
        if (c)
            c->carte = nullptr;
    delete grille;
    delete vue;
    delete vueRequete;
}

Carte *Carte::de(QCustomPlot *plot)
{
    return qobject_cast<Carte *>(plot->property("kalu-carte").value<QObject *>());
}

void Carte::setRapide(bool oui)
{
    rapideActif = oui;
}

bool Carte::rapide()
{
    return rapideActif;
}

// The library searches the whole list of plottables before it appends each
// new one: each curve registers in an empty list instead and is moved at
// once behind the others; the list is whole again, in creation order, at
// finAjouts.
void Carte::debutAjouts()
{
    if (ajouts)
        return;
    ajouts = true;
    deja.swap(AccesPlot::plottables(plot));
    if (trous > 0)
        compacte();
}

Courbe *Carte::ajoute(const QCPRange &cles, const QCPRange &valeurs, bool place)
{
    // Born on the current layer, which must be a short one.
    QCPLayer *avant = plot->currentLayer();
    if (avant != naissance)
        plot->setCurrentLayer(naissance);
    Courbe *c = new Courbe(plot->xAxis, plot->yAxis, cles, valeurs);
    if (avant != naissance)
        plot->setCurrentLayer(avant);
    QList<QCPAbstractPlottable *> &liste = AccesPlot::plottables(plot);
    if (ajouts)
        deja.append(liste.takeLast());
    demenage(c, couche);
    if (enEvenement)
        horsEvenement.append(c);
    c->setParent(porteur);
    c->carte = this;
    c->placee = place;
    c->rang = int(courbes.size());
    courbes.push_back(c);
    ++version;
    return c;
}

void Carte::finAjouts()
{
    if (!ajouts)
        return;
    QList<QCPAbstractPlottable *> &liste = AccesPlot::plottables(plot);
    deja.append(liste);
    liste.swap(deja);
    deja.clear();
    ajouts = false;
}

void Carte::vide()
{
    // Items are taken out front to back, the curves removed front to back
    // (their lists are searched from the front), and the items deleted last,
    // once the curves no longer stand before them among the plot's
    // children. A curve would otherwise look its item up in the legend.
    QCPLegend *legend = plot->legend;
    QVector<QCPLayoutElement *> items;
    items.reserve(legend->elementCount());
    for (int i = 0; i < legend->elementCount(); ++i)
        if (QCPLayoutElement *item = legend->takeAt(i))
            items.append(item);
    legend->simplify();
    for (Courbe *c : courbes)
        if (c)
            c->carte = nullptr;
    courbes.clear();
    trous = 0;
    sansEntree = 0;
    ++version;
    while (plot->plottableCount() > 0)
        plot->removePlottable(0);
    qDeleteAll(items);
}

void Carte::oublie(int r)
{
    if (r >= 0 && r < int(courbes.size()) && courbes[r]) {
        if (enEvenement)
            horsEvenement.removeOne(courbes[r]);
        courbes[r] = nullptr;
        ++trous;
        ++version;
    }
}

void Carte::compacte()
{
    sansEntree = size_t(std::count_if(courbes.begin(), courbes.begin() + std::min(sansEntree, courbes.size()),
                                      [](const Courbe *c) { return c != nullptr; }));
    courbes.erase(std::remove(courbes.begin(), courbes.end(), nullptr), courbes.end());
    for (size_t i = 0; i < courbes.size(); ++i)
        courbes[i]->rang = int(i);
    trous = 0;
    ++version;
}

void Carte::recadre()
{
    QCPAxis *x = plot->xAxis, *y = plot->yAxis;
    size_t vivantes = courbes.size() - size_t(trous);
    // Plottables of other kinds, or axes other than linear ones: the
    // library's own way.
    if (size_t(plot->plottableCount()) != vivantes || x->scaleType() != QCPAxis::stLinear ||
        y->scaleType() != QCPAxis::stLinear) {
        plot->rescaleAxes(false);
        return;
    }
    QCPRange rx, ry;
    bool trouve = false;
    for (const Courbe *c : courbes) {
        if (!c || !c->placee)
            continue;
        if (!trouve)
            rx = c->cles, ry = c->valeurs;
        rx.expand(c->cles);
        ry.expand(c->valeurs);
        trouve = true;
    }
    if (!trouve)
        return;
    // A range of one value is centred in the axis's present size.
    for (auto paire : {std::make_pair(x, rx), std::make_pair(y, ry)}) {
        QCPRange r = paire.second;
        if (!QCPRange::validRange(r)) {
            const double centre = (r.lower + r.upper) * 0.5, taille = paire.first->range().size();
            r.lower = centre - taille / 2.0;
            r.upper = centre + taille / 2.0;
        }
        paire.first->setRange(r);
    }
}

void Carte::accordeSelection()
{
    auto choisit = [](QCPCurve *c) { c->setSelection(QCPDataSelection(QCPDataRange(0, c->dataCount()))); };
    // One pass over the legend's items, then over the curves that have none:
    // looking each curve's item up would scan the legend once per curve.
    QCPLegend *legend = plot->legend;
    for (int i = 0; i < legend->itemCount(); ++i) {
        QCPPlottableLegendItem *item = qobject_cast<QCPPlottableLegendItem *>(legend->item(i));
        QCPCurve *curve = item ? qobject_cast<QCPCurve *>(item->plottable()) : nullptr;
        if (curve && (item->selected() || curve->selected())) {
            item->setSelected(true);
            choisit(curve);
        }
    }
    for (size_t r = sansEntree; r < courbes.size(); ++r)
        if (courbes[r] && courbes[r]->selected())
            choisit(courbes[r]);
}

void Carte::faitEntrees()
{
    QCPLegend *legend = plot->legend;
    if (legend == nullptr || sansEntree >= courbes.size())
        return;
    Legende *legende = dynamic_cast<Legende *>(legend);
    // An item is born on the plot's current layer and the library moves it
    // at once to the "legend" layer, from which it goes to the items' own.
    QCPLayer *avant = plot->currentLayer();
    plot->setCurrentLayer(naissance);
    for (; sansEntree < courbes.size(); ++sansEntree) {
        Courbe *c = courbes[sansEntree];
        if (!c)
            continue;
        QCPAbstractLegendItem *item = new QCPPlottableLegendItem(legend, c);
        demenage(item, entrees);
        item->setSelected(c->selected());
        if (legende)
            legende->ajoute(item);
        else
            legend->addItem(item);
    }
    plot->setCurrentLayer(avant);
}

void Carte::applyDefaultAntialiasingHint(QCPPainter *painter) const
{
    (void)painter; // each curve applies its own
}

// ----------------------------------------------------- replot and drawing

void Carte::avantReplot()
{
    if (!rapideActif)
        return;
    if (trous > int(courbes.size()) / 2)
        compacte();
    pretees.swap(AccesCouche::enfants(couche));
    enReplot = true;
}

void Carte::apresReplot()
{
    if (!enReplot)
        return;
    enReplot = false;
    pretees.swap(AccesCouche::enfants(couche));
    if (complete) {
        complete = false;
        emit imageComplete();
    }
}

Carte::Pret::Pret(Carte *carte) : carte(carte)
{
    if (carte && rapideActif && !carte->enReplot) {
        carte->pretees.swap(AccesCouche::enfants(carte->couche));
        carte->pretDessin = true;
    } else {
        this->carte = nullptr;
    }
}

Carte::Pret::~Pret()
{
    if (carte) {
        carte->pretees.swap(AccesCouche::enfants(carte->couche));
        carte->pretDessin = false;
    }
}

// Where the curves draw: their axis rectangle, one row up, as their layer
// clips them.
QRect Carte::zone() const
{
    return plot->xAxis->axisRect()->rect().translated(0, -1);
}

Carte::Vue Carte::vueActuelle() const
{
    Vue v;
    v.x = plot->xAxis->range();
    v.y = plot->yAxis->range();
    v.rect = plot->xAxis->axisRect()->rect();
    v.taille = plot->viewport().size();
    return v;
}

// The pixels the curve's drawing may reach, within `dans`.
QRect Carte::boitePixels(const Courbe *c, const QRect &dans) const
{
    QCPAxis *x = plot->xAxis, *y = plot->yAxis;
    const QRectF b = QRectF(QPointF(x->coordToPixel(c->cles.lower), y->coordToPixel(c->valeurs.lower)),
                            QPointF(x->coordToPixel(c->cles.upper), y->coordToPixel(c->valeurs.upper)))
                         .normalized()
                         .adjusted(-MARGE_TRAIT, -MARGE_TRAIT, MARGE_TRAIT, MARGE_TRAIT);
    return b.intersected(QRectF(dans)).toAlignedRect().intersected(dans);
}

void Carte::draw(QCPPainter *painter)
{
    if (!enReplot && !pretDessin)
        return; // the curves are their layer's children and draw themselves
    QPixmap *tampon = nullptr;
    if (enReplot && painter->device()->devType() == QInternal::Pixmap)
        tampon = static_cast<QPixmap *>(painter->device());
    if (tampon == nullptr || tampon->devicePixelRatio() != 1.0 ||
        tampon->size() != plot->viewport().size()) {
        dessineTout(painter);
        versionImage = ~0u;
        return;
    }
    const Vue v = vueActuelle();
    const bool memeDessin = versionImage == version && *vue == v;
    if (geste && versionImage == version && !image.isNull()) {
        dessineImage(painter);
        return;
    }
    QImage avant = tampon->toImage();
    if (memeDessin && avant.format() == QImage::Format_ARGB32_Premultiplied &&
        memeFond(avant) && dessinePartiel(painter))
        return;
    dessineTout(painter);
    ++nombres.complets;
    complete = true;
    if (avant.format() != QImage::Format_ARGB32_Premultiplied) {
        versionImage = ~0u;
        return;
    }
    fond = avant;
    image = tampon->toImage();
    *vue = v;
    versionImage = version;
    courbesSeules = QImage();
    for (Courbe *c : courbes)
        if (c)
            c->choisieDessinee = c->selected();
    index(); // made now, the first click after a load does not wait for it
}

// Every curve whose box meets the view, in order, as the layer would draw
// them: the same clip, each curve's own antialiasing. A curve leaves the
// painter as its layer's save and restore would, so these are done once.
void Carte::dessineTout(QCPPainter *painter)
{
    const QRect dans = zone();
    painter->save();
    painter->setClipRect(dans);
    for (Courbe *c : courbes)
        if (c && c->realVisibility() && !boitePixels(c, dans).isEmpty())
            c->dessine(painter);
    painter->restore();
}

// The curves of the last complete drawing, moved and scaled to the present
// ranges, over the live grid.
void Carte::dessineImage(QCPPainter *painter)
{
    if (courbesSeules.isNull())
        faitCourbesSeules();
    QCPAxis *x = plot->xAxis, *y = plot->yAxis;
    const QRect source = vue->rect.translated(0, -1);
    // The picture's edges in data coordinates, then in today's pixels.
    auto enX = [&](double p) {
        return x->coordToPixel(vue->x.lower + (p - vue->rect.left()) / vue->rect.width() * vue->x.size());
    };
    auto enY = [&](double p) {
        return y->coordToPixel(vue->y.lower + (vue->rect.bottom() - p) / vue->rect.height() * vue->y.size());
    };
    const QRectF cible(QPointF(enX(source.left()), enY(source.top())),
                       QPointF(enX(source.left() + source.width()), enY(source.top() + source.height())));
    painter->save();
    painter->setClipRect(zone());
    painter->drawImage(cible.normalized(), courbesSeules, QRectF(source));
    painter->restore();
    ++nombres.images;
}

// The picture of the curves alone: where the grid showed under them, the
// colour of a neighbouring pixel that had no grid.
void Carte::faitCourbesSeules()
{
    courbesSeules = QImage(image.size(), QImage::Format_ARGB32_Premultiplied);
    courbesSeules.fill(Qt::transparent);
    const QRect r = vue->rect.translated(0, -1).intersected(image.rect());
    for (int j = r.top(); j <= r.bottom(); ++j) {
        const QRgb *f = reinterpret_cast<const QRgb *>(fond.constScanLine(j));
        const QRgb *im = reinterpret_cast<const QRgb *>(image.constScanLine(j));
        QRgb *s = reinterpret_cast<QRgb *>(courbesSeules.scanLine(j));
        for (int i = r.left(); i <= r.right(); ++i) {
            if (f[i] == 0) {
                s[i] = im[i];
                continue;
            }
            const int voisins[4][2] = {{i - 1, j}, {i + 1, j}, {i, j - 1}, {i, j + 1}};
            for (const auto &p : voisins) {
                if (r.contains(p[0], p[1]) && fond.pixel(p[0], p[1]) == 0) {
                    s[i] = reinterpret_cast<const QRgb *>(image.constScanLine(p[1]))[p[0]];
                    break;
                }
            }
        }
    }
}

// What the layers under the curves drew is what they drew for the last
// complete drawing: then its curves still lie right on it.
bool Carte::memeFond(const QImage &avant) const
{
    if (avant.size() != fond.size() || fond.format() != avant.format())
        return false;
    const QRect r = zone().intersected(avant.rect());
    const size_t octets = size_t(r.width()) * 4;
    for (int j = r.top(); j <= r.bottom(); ++j)
        if (std::memcmp(avant.constScanLine(j) + r.left() * 4, fond.constScanLine(j) + r.left() * 4,
                        octets) != 0)
            return false;
    return true;
}

// Same view, same curves: the last complete drawing, in which the curves
// whose selection changed since are drawn again with every curve near
// them, in order, on the grid alone. False when too many changed.
bool Carte::dessinePartiel(QCPPainter *painter)
{
    std::vector<Courbe *> changees;
    for (Courbe *c : courbes) {
        if (c && c->selected() != c->choisieDessinee) {
            changees.push_back(c);
            if (changees.size() > 256)
                return false;
        }
    }
    if (!changees.empty())
        redessine(changees);
    const QRect dans = zone().intersected(image.rect());
    painter->save();
    painter->setClipRect(dans);
    painter->setCompositionMode(QPainter::CompositionMode_Source);
    painter->drawImage(dans.topLeft(), image, dans);
    painter->restore();
    ++(changees.empty() ? nombres.copies : nombres.partiels);
    return true;
}

// The grid alone, the curves near the changed ones drawn on it by a painter
// set up as the plot's, on a picture the size of the plot's: inside the
// changed boxes, the pixels of a complete drawing.
void Carte::redessine(const std::vector<Courbe *> &changees)
{
    const QRect dans = zone();
    QRegion sale;
    for (Courbe *c : changees) {
        sale += boitePixels(c, dans);
        c->choisieDessinee = c->selected();
    }
    std::vector<int> rangs;
    for (const QRect &r : sale)
        for (int k : proches(r))
            rangs.push_back(k);
    std::sort(rangs.begin(), rangs.end());
    rangs.erase(std::unique(rangs.begin(), rangs.end()), rangs.end());

    QImage brouillon = fond.copy();
    {
        QCPPainter p(&brouillon);
        p.setClipRect(dans);
        for (int k : rangs)
            if (courbes[k]->realVisibility())
                courbes[k]->dessine(&p);
    }
    QPainter copie(&image);
    copie.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect &r : sale)
        copie.drawImage(r.topLeft(), brouillon, r);
}

// ------------------------------------------------------------------ index

const Carte::Index &Carte::index() const
{
    if (grille && versionGrille == version)
        return *grille;
    delete grille;
    grille = new Index;
    Index &g = *grille;
    versionGrille = version;
    const size_t n = courbes.size();
    if (n == 0)
        return g;
    double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    bool premier = true;
    for (const Courbe *c : courbes) {
        if (!c)
            continue;
        if (premier)
            x0 = c->cles.lower, x1 = c->cles.upper, y0 = c->valeurs.lower, y1 = c->valeurs.upper;
        x0 = std::min(x0, c->cles.lower), x1 = std::max(x1, c->cles.upper);
        y0 = std::min(y0, c->valeurs.lower), y1 = std::max(y1, c->valeurs.upper);
        premier = false;
    }
    const int cote = std::max(1, std::min(2048, int(std::sqrt(double(n) / 4))));
    g.nx = g.ny = cote;
    g.x0 = x0, g.y0 = y0;
    g.dx = x1 > x0 ? (x1 - x0) / cote : 1;
    g.dy = y1 > y0 ? (y1 - y0) / cote : 1;
    g.debut.assign(size_t(cote) * cote + 1, 0);
    auto cellules = [&](const Courbe *c, int &i0, int &i1, int &j0, int &j1) {
        i0 = g.cx(c->cles.lower), i1 = g.cx(c->cles.upper);
        j0 = g.cy(c->valeurs.lower), j1 = g.cy(c->valeurs.upper);
        return (i1 - i0 + 1) * (j1 - j0 + 1) <= CELLULES_MAX;
    };
    int i0, i1, j0, j1;
    for (const Courbe *c : courbes)
        if (c && cellules(c, i0, i1, j0, j1))
            for (int j = j0; j <= j1; ++j)
                for (int i = i0; i <= i1; ++i)
                    ++g.debut[size_t(j) * cote + i + 1];
    for (size_t k = 1; k < g.debut.size(); ++k)
        g.debut[k] += g.debut[k - 1];
    g.rangs.resize(g.debut.back());
    std::vector<int> place(g.debut.begin(), g.debut.end() - 1);
    for (const Courbe *c : courbes) {
        if (!c)
            continue;
        if (!cellules(c, i0, i1, j0, j1)) {
            g.grands.push_back(c->rang);
            continue;
        }
        for (int j = j0; j <= j1; ++j)
            for (int i = i0; i <= i1; ++i)
                g.rangs[place[size_t(j) * cote + i]++] = c->rang;
    }
    return g;
}

// The ranks of the curves whose box may meet `pixels`, in no order, with
// repeats.
std::vector<int> Carte::proches(const QRectF &pixels) const
{
    const Index &g = index();
    std::vector<int> r(g.grands);
    if (g.nx == 0)
        return r;
    QCPAxis *x = plot->xAxis, *y = plot->yAxis;
    const double xa = x->pixelToCoord(pixels.left()), xb = x->pixelToCoord(pixels.right());
    const double ya = y->pixelToCoord(pixels.top()), yb = y->pixelToCoord(pixels.bottom());
    const int i0 = g.cx(std::min(xa, xb)), i1 = g.cx(std::max(xa, xb));
    const int j0 = g.cy(std::min(ya, yb)), j1 = g.cy(std::max(ya, yb));
    for (int j = j0; j <= j1; ++j)
        for (int i = i0; i <= i1; ++i) {
            const size_t c = size_t(j) * g.nx + i;
            r.insert(r.end(), g.rangs.begin() + g.debut[c], g.rangs.begin() + g.debut[c + 1]);
        }
    return r;
}

// One query per click position and view; every curve then answers from
// its mark.
// Pixels around `pos` where a curve may be within the selection tolerance.
QRectF Carte::voisinage(const QPointF &pos) const
{
    const double t = plot->selectionTolerance() + 1;
    return QRectF(pos - QPointF(t, t), pos + QPointF(t, t));
}

bool Carte::exclut(const Courbe *c, const QPointF &pos) const
{
    // During a filtered event the curves' layer holds the candidates only,
    // found by the same query.
    if (!rapideActif || enEvenement || c->carte != this)
        return false;
    const Vue v = vueActuelle();
    if (!requeteValide || pos != dernierePos || !(*vueRequete == v) || versionRequete != version) {
        ++requetes;
        for (int k : proches(voisinage(pos)))
            courbes[k]->marque = requetes;
        dernierePos = pos;
        *vueRequete = v;
        versionRequete = version;
        requeteValide = true;
    }
    return c->marque != requetes;
}

// The curves near `pos` (within the selection tolerance), and with
// `avecChoisies` every selected one, in drawing order.
QList<QCPLayerable *> Carte::candidats(const QPointF &pos, bool avecChoisies) const
{
    std::vector<int> rangs = proches(voisinage(pos));
    if (avecChoisies)
        for (const Courbe *c : courbes)
            if (c && c->selected())
                rangs.push_back(c->rang);
    std::sort(rangs.begin(), rangs.end());
    rangs.erase(std::unique(rangs.begin(), rangs.end()), rangs.end());
    QList<QCPLayerable *> liste;
    liste.reserve(int(rangs.size()));
    for (int r : rangs)
        if (courbes[r])
            liste.append(courbes[r]);
    return liste;
}

bool Carte::eventFilter(QObject *objet, QEvent *event)
{
    if (objet != plot || !rapideActif || enEvenement)
        return false;
    QPointF pos;
    bool avecChoisies = true;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        pos = static_cast<QMouseEvent *>(event)->localPos();
        break;
    case QEvent::Wheel:
        pos = static_cast<QWheelEvent *>(event)->position();
        avecChoisies = false;
        break;
    default:
        return false;
    }
    horsEvenement = candidats(pos, avecChoisies);
    horsEvenement.swap(AccesCouche::enfants(couche));
    enEvenement = true;
    static_cast<QObject *>(plot)->event(event);
    enEvenement = false;
    horsEvenement.swap(AccesCouche::enfants(couche));
    horsEvenement.clear();
    return true;
}

// --------------------------------------------------------------- gestures

void Carte::appui(QMouseEvent *event)
{
    appuye = event->buttons() & Qt::LeftButton;
}

void Carte::mouvement(QMouseEvent *event)
{
    if (appuye && (event->buttons() & Qt::LeftButton))
        geste = true;
}

void Carte::relache()
{
    appuye = false;
    if (geste && !pause.isActive()) {
        geste = false;
        plot->replot(QCustomPlot::rpQueuedReplot);
    }
}

void Carte::molette()
{
    geste = true;
    pause.start();
}

void Carte::finGeste()
{
    if (appuye)
        return; // a drag goes on; its release ends it
    geste = false;
    plot->replot();
}
