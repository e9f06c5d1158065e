#include "kaluview.h"

#include "kluconf.h"
#include "ui_kaluview.h"
#include "zolconf.h"
#include "zolshp.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

#include <cmath>

static const char KLUSRC[] = "../kalu/kaluview.cpp";

namespace {

// Every layer keeps its layerables in a list that the library searches on
// each addition and removal. Curves and legend items are therefore spread
// over layers of at most this many, stacked in creation order: the drawing
// order is the one a single layer would give, and no search is long.
const int PAR_COUCHE = 1024;

// Layer k of the stack `prefixe` ("courbes" above "main", "entrees" above
// "legend"), made when first needed.
QCPLayer *couche(QCustomPlot *plot, const QString &prefixe, const QString &base, int k)
{
    const QString nom = QString("%1-%2").arg(prefixe).arg(k);
    if (QCPLayer *l = plot->layer(nom))
        return l;
    QCPLayer *dessous = k == 0 ? plot->layer(base) : couche(plot, prefixe, base, k - 1);
    plot->addLayer(nom, dessous, QCustomPlot::limAbove);
    return plot->layer(nom);
}

// Iterates the layers of a stack, from the first with room left.
class Pile
{
public:
    Pile(QCustomPlot *plot, const QString &prefixe, const QString &base)
        : plot(plot), prefixe(prefixe), base(base)
    {
    }

    QCPLayer *suivante()
    {
        while (actuelle == nullptr || actuelle->children().size() >= PAR_COUCHE)
            actuelle = couche(plot, prefixe, base, k++);
        return actuelle;
    }

private:
    QCustomPlot *plot;
    QString prefixe, base;
    QCPLayer *actuelle = nullptr;
    int k = 0;
};

// The plot's legend, made to stay linear in its number of items: a map may
// have a hundred thousand parts, each with its item. The library's own add
// looks for the first free cell and widens every row on each call, and a
// hidden legend still measures every item's text on each replot.
//
// Items are in one column, item i in row i, as the library lays them out.
class Legende : public QCPLegend
{
public:
    // Appends one item per curve, in order, each as a new last row.
    void ajoute(const QVector<QCPAbstractPlottable *> &courbes)
    {
        // An item is born on the plot's current layer and the library moves
        // it at once to the "legend" layer; it then goes on to a layer of
        // the items' stack, above the legend's box, so that the "legend"
        // layer stays short.
        QCustomPlot *plot = parentPlot();
        QCPLayer *avant = plot->currentLayer();
        Pile pile(plot, QStringLiteral("entrees"), QStringLiteral("legend"));
        for (QCPAbstractPlottable *courbe : courbes) {
            QCPLayer *l = pile.suivante();
            plot->setCurrentLayer(l);
            QCPAbstractLegendItem *item = new QCPPlottableLegendItem(this, courbe);
            item->setLayer(l);
            ajoute(item);
        }
        plot->setCurrentLayer(avant);
    }

    // Appends `item` as a new last row. Takes ownership.
    void ajoute(QCPAbstractLegendItem *item)
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

    // A hidden legend is neither laid out nor measured.
    void update(UpdatePhase phase) override
    {
        if (visible())
            QCPLegend::update(phase);
    }
    QSize minimumOuterSizeHint() const override
    {
        return visible() ? QCPLegend::minimumOuterSizeHint() : QSize(0, 0);
    }
    QSize maximumOuterSizeHint() const override
    {
        return visible() ? QCPLegend::maximumOuterSizeHint() : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
};

// A curve that knows the box of its points. A click makes the plot ask
// every curve for its distance to the pointer, which the library measures
// to each segment; a curve whose box is farther than the selection
// tolerance can't be hit, and says so at once.
class Courbe : public QCPCurve
{
public:
    Courbe(QCPAxis *x, QCPAxis *y, const QCPRange &cles, const QCPRange &valeurs)
        : QCPCurve(x, y), cles(cles), valeurs(valeurs)
    {
    }

    double selectTest(const QPointF &pos, bool onlySelectable, QVariant *details) const override
    {
        QCPAxis *x = keyAxis(), *y = valueAxis();
        if (x != nullptr && y != nullptr && !mDataContainer->isEmpty()) {
            const double marge = mParentPlot->selectionTolerance();
            const QRectF boite = QRectF(QPointF(x->coordToPixel(cles.lower), y->coordToPixel(valeurs.lower)),
                                        QPointF(x->coordToPixel(cles.upper), y->coordToPixel(valeurs.upper)))
                                     .normalized()
                                     .adjusted(-marge, -marge, marge, marge);
            if (!boite.contains(pos))
                return -1;
        }
        return QCPCurve::selectTest(pos, onlySelectable, details);
    }

private:
    QCPRange cles, valeurs;
};

// The plot's list of plottables, which the library keeps to itself and its
// subclasses. Never instantiated: only names the member.
struct AccesPlot : public QCustomPlot {
    static QList<QCPAbstractPlottable *> &plottables(QCustomPlot *plot)
    {
        return plot->*(&AccesPlot::mPlottables);
    }
};

// Sets the plot's list of plottables aside while a loader makes curves: the
// library searches the whole list before it appends each new plottable, so a
// map of a hundred thousand parts would cost billions of comparisons. Each
// new curve registers in an empty list and is moved at once behind the
// others; the list is whole again, in creation order, when this ends.
class Inscription
{
public:
    explicit Inscription(QCustomPlot *plot) : liste(AccesPlot::plottables(plot))
    {
        deja.swap(liste);
    }
    ~Inscription()
    {
        deja.append(liste);
        liste.swap(deja);
    }
    Inscription(const Inscription &) = delete;
    Inscription &operator=(const Inscription &) = delete;

    // Takes the curve just made out of the plot's short list.
    void range() { deja.append(liste.takeLast()); }

private:
    QList<QCPAbstractPlottable *> &liste;
    QList<QCPAbstractPlottable *> deja;
};

Legende *legende(QCustomPlot *plot)
{
    return static_cast<Legende *>(plot->legend);
}

// The QObject parent of the curves, a child of the plot. Qt finds a child
// in its parent's list from the front on every reparenting and deletion,
// and each new curve and legend item starts as the plot's last child: with
// the curves kept apart, the plot's own list stays a few dozen long.
QObject *porteur(QCustomPlot *plot)
{
    return plot->findChild<QObject *>(QStringLiteral("courbes"), Qt::FindDirectChildrenOnly);
}

} // namespace

// The published technical description of the shapefile format.
static const char ADRESSE_SHP[] = "https://www.esri.com/library/whitepapers/pdfs/shapefile.pdf";

KaluView::KaluView(QWidget *parent)
    : QMainWindow(parent),
      ui(new Ui::MainWindow),
      aboutAction(nullptr),
      explorerAction(nullptr),
      title(nullptr),
      subTitle(nullptr),
      lineColor(0, 102, 255, 255),
      lineSelectedColor(255, 153, 0, 255),
      polygonColor(0, 204, 0, 255),
      polygonFillColor(0, 204, 0, 85),
      polygonSelectedColor(255, 51, 255, 255),
      polygonSelectedFillColor(255, 51, 255, 85),
      gridColor(204, 204, 255, 255),
      gridPen(gridColor),
      zeroLinePen(gridColor),
      selectedAxisPen(lineColor),
      plotFont("Times New Roman", 10, QFont::Normal, false)
{
    ui->setupUi(this);
    remplaceLegende();
    setupAxes();
    setupActions();

    QCustomPlot *plot = ui->customPlot;
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables |
                          QCP::iSelectAxes | QCP::iSelectLegend);
    plot->xAxis->setRange(-8, 8);
    plot->yAxis->setRange(-5, 5);
    plot->axisRect()->setupFullAxesBox(false);

    setupTitles();
    connectPlot();
}

// The plot would remove its curves from the back, looking each one's legend
// item up on the way: quadratic in the number of curves.
KaluView::~KaluView()
{
    clearShapes();
}

// Puts a Legende where the plot made its own, with the same place, layer and
// (hidden) visibility. Curves get their legend items from fscanshp_cpt.
void KaluView::remplaceLegende()
{
    QCustomPlot *plot = ui->customPlot;
    delete plot->legend;
    Legende *neuve = new Legende;
    plot->axisRect()->insetLayout()->addElement(neuve, Qt::AlignRight | Qt::AlignTop);
    neuve->setLayer(QLatin1String("legend"));
    neuve->setVisible(false);
    plot->legend = neuve;
    plot->setAutoAddPlottableToLegend(false);
    QObject *courbes = new QObject(plot);
    courbes->setObjectName(QStringLiteral("courbes"));
}

// Removes every curve with its legend item, in an order where no step scans
// what is left: items are taken out front to back, the curves removed front
// to back (their lists are searched from the front), and the items deleted
// last, once the curves no longer stand before them among the plot's
// children.
void KaluView::clearShapes()
{
    QCustomPlot *plot = ui->customPlot;
    QCPLegend *legend = plot->legend;
    QVector<QCPLayoutElement *> items;
    items.reserve(legend->elementCount());
    for (int i = 0; i < legend->elementCount(); ++i)
        if (QCPLayoutElement *item = legend->takeAt(i))
            items.append(item);
    legend->simplify();
    while (plot->plottableCount() > 0)
        plot->removePlottable(0);
    qDeleteAll(items);
}

// Removes one curve and its legend item; the items below move up one row.
void KaluView::retireCourbe(QCPAbstractPlottable *courbe)
{
    QCustomPlot *plot = ui->customPlot;
    QCPLegend *legend = plot->legend;
    for (int i = 0; i < legend->elementCount(); ++i) {
        QCPPlottableLegendItem *item = qobject_cast<QCPPlottableLegendItem *>(legend->elementAt(i));
        if (item != nullptr && item->plottable() == courbe) {
            legend->takeAt(i);
            legend->simplify();
            delete item;
            break;
        }
    }
    plot->removePlottable(courbe);
}

// Grids, the selection look of the four axes, labels and the legend's fonts.
void KaluView::setupAxes()
{
    QCustomPlot *plot = ui->customPlot;
    gridPen.setStyle(Qt::DashLine);
    for (QCPAxis *axis : {plot->xAxis, plot->yAxis}) {
        axis->grid()->setPen(gridPen);
        axis->grid()->setZeroLinePen(zeroLinePen);
    }
    selectedAxisPen.setWidth(2);

    const std::pair<QCPAxis *, QCPAxis *> pairs[] = {{plot->xAxis, plot->xAxis2},
                                                     {plot->yAxis, plot->yAxis2}};
    for (const auto &pair : pairs) {
        QCPAxis *axis = pair.first;
        axis->setSelectedTickLabelFont(plotFont);
        axis->setSelectedTickLabelColor(lineColor);
        axis->setSelectedBasePen(selectedAxisPen);
        axis->setSelectedTickPen(selectedAxisPen);
        pair.second->setSelectedBasePen(selectedAxisPen);
        pair.second->setSelectedTickPen(selectedAxisPen);
        axis->setSelectedLabelFont(plotFont);
        axis->setSelectedLabelColor(lineColor);
    }
}

void KaluView::setupActions()
{
    aboutAction = new QAction(tr("&À propos de"), this);
    aboutAction->setStatusTip(tr("Boîte de remerciements logiciels"));
    connect(aboutAction, &QAction::triggered, this, &KaluView::about);

    explorerAction = new QAction(tr("&Explorer"), this);
    explorerAction->setStatusTip(tr("Explorateur de fichier *.shp"));
    connect(explorerAction, &QAction::triggered, this, &KaluView::appuiBoutonExplorer);

    ui->mainToolBar->addAction(aboutAction);
    ui->mainToolBar->addAction(explorerAction);
}

// Two empty text rows above the axis rectangle, then the axis labels and the
// legend, all in the window's one font.
void KaluView::setupTitles()
{
    QCustomPlot *plot = ui->customPlot;
    const QFont font("Times New Roman", 10, QFont::Normal, false);

    plot->plotLayout()->insertRow(0);
    title = new QCPTextElement(plot, QString(), font);
    plot->plotLayout()->addElement(0, 0, title);
    plot->plotLayout()->insertRow(1);
    subTitle = new QCPTextElement(plot, QString(), font);
    plot->plotLayout()->addElement(1, 0, subTitle);

    plot->xAxis->setLabel("Longitude [deg]");
    plot->xAxis->setLabelFont(font);
    plot->xAxis->setTickLabelFont(font);
    plot->yAxis->setLabel("Latitude [deg]");
    plot->yAxis->setLabelFont(font);
    plot->yAxis->setTickLabelFont(font);

    plot->legend->setFont(font);
    plot->legend->setSelectedFont(font);
    plot->legend->setSelectableParts(QCPLegend::spItems);
}

void KaluView::connectPlot()
{
    QCustomPlot *plot = ui->customPlot;
    // Selection, presses and the wheel decide which axes drag and zoom act on.
    connect(plot, SIGNAL(selectionChangedByUser()), this, SLOT(selectionChanged()));
    connect(plot, SIGNAL(mousePress(QMouseEvent*)), this, SLOT(mousePress()));
    connect(plot, SIGNAL(mouseWheel(QWheelEvent*)), this, SLOT(mouseWheel()));
    // The top and right axes follow the bottom and left ones, never the reverse.
    connect(plot->xAxis, SIGNAL(rangeChanged(QCPRange)), plot->xAxis2, SLOT(setRange(QCPRange)));
    connect(plot->yAxis, SIGNAL(rangeChanged(QCPRange)), plot->yAxis2, SLOT(setRange(QCPRange)));
    // Double-clicks edit labels, curve names, title and sub-title.
    connect(plot, SIGNAL(axisDoubleClick(QCPAxis*,QCPAxis::SelectablePart,QMouseEvent*)),
            this, SLOT(axisLabelDoubleClick(QCPAxis*,QCPAxis::SelectablePart)));
    connect(plot, SIGNAL(legendDoubleClick(QCPLegend*,QCPAbstractLegendItem*,QMouseEvent*)),
            this, SLOT(legendDoubleClick(QCPLegend*,QCPAbstractLegendItem*)));
    connect(title, SIGNAL(doubleClicked(QMouseEvent*)), this, SLOT(titleDoubleClick(QMouseEvent*)));
    connect(subTitle, SIGNAL(doubleClicked(QMouseEvent*)), this, SLOT(titlexDoubleClick(QMouseEvent*)));
    // A click on a curve shows the clicked point in the sub-title.
    connect(plot, SIGNAL(plottableClick(QCPAbstractPlottable*,int,QMouseEvent*)),
            this, SLOT(graphClicked(QCPAbstractPlottable*,int)));
    // Context menu: legend placement and shape removal.
    plot->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(plot, SIGNAL(customContextMenuRequested(QPoint)), this, SLOT(contextMenuRequest(QPoint)));
}

void KaluView::adjustEqualScale()
{
    QCustomPlot *plot = ui->customPlot;
    QCPAxisRect *rect = plot->axisRect();
    zolmessage("ui->customPlot->width()=%d\n", plot->width());
    zolmessage("ui->customPlot->height()=%d\n", plot->height());
    zolmessage("ui->customPlot->axisRect()->width()=%d\n", rect->width());
    zolmessage("ui->customPlot->axisRect()->height()=%d\n", rect->height());

    const QCPRange x = plot->xAxis->range();
    const double xr = x.upper - x.lower, xc = (x.upper + x.lower) * 0.5;
    const double dnxl = rect->width();
    zolmessage("xr=%lf, xc=%lf, dnxl=%lf\n", xr, xc, dnxl);
    const QCPRange y = plot->yAxis->range();
    const double yr = y.upper - y.lower, yc = (y.upper + y.lower) * 0.5;
    const double dnyl = rect->height();
    zolmessage("yr=%lf, yc=%lf, dnyl=%lf\n", yr, yc, dnyl);

    // An empty rectangle gives infinite or undefined bounds, which setRange
    // refuses: both ranges then stay as they are.
    const double w = yr / dnyl * dnxl;
    if (w > xr) {
        plot->xAxis->setRange(xc - w * 0.5, xc + w * 0.5);
    } else {
        const double h = xr / dnxl * dnyl;
        plot->yAxis->setRange(yc - h * 0.5, yc + h * 0.5);
    }
}

// The points of one part as curve data, t being the point's index in its
// part. A coordinate the plot cannot place (NaN, an infinity, or a magnitude
// like 1e308 from a damaged file) would make rescaleAxes compute a range
// that setRange refuses: the view then kept its old ranges and could show
// none of the sound curves. Such a point of a line becomes a gap (NaN, which
// the plot skips when fitting the axes and draws as a break); a polygon's
// ring cannot be filled across a gap, so there the vertex is left out. Half
// the plot's largest range keeps any two placeable points within one valid
// range. `cles` and `valeurs` receive the box of the placed points (0 to 0
// when there is none).
static QVector<QCPCurveData> donneesCourbe(const double *x, const double *y, int n,
                                           bool polygone, QCPRange &cles, QCPRange &valeurs)
{
    const double limite = QCPRange::maxRange / 2;
    QVector<QCPCurveData> points;
    points.reserve(n);
    bool premier = true;
    cles = valeurs = QCPRange(0, 0);
    for (int k = 0; k < n; ++k) {
        if (std::fabs(x[k]) < limite && std::fabs(y[k]) < limite) {
            points.append(QCPCurveData(k, x[k], y[k]));
            if (premier)
                cles = QCPRange(x[k], x[k]), valeurs = QCPRange(y[k], y[k]);
            cles.expand(x[k]);
            valeurs.expand(y[k]);
            premier = false;
        } else if (!polygone) {
            points.append(QCPCurveData(k, qQNaN(), qQNaN()));
        }
    }
    return points;
}

// Loading one shapefile into the plot: one curve per part of every record.
// Rescaling and replotting are the caller's.
void KaluView::fscanshp_cpt(string shppath)
{
    int count = 0;
    ShpData *shp = fscan_shp(shppath.c_str(), count);
    if (shp == nullptr) {
        zolerreur(KLUSRC, "fscanshp_cpt", nullptr, "erreur fscan_shp()!\n");
        return;
    }
    QCustomPlot *plot = ui->customPlot;
    title->setText(QString("Shapefile: '%1'").arg(QString::fromUtf8(shppath.c_str())));

    QObject *parent = porteur(plot);
    QVector<QCPAbstractPlottable *> courbes;
    QCPLayer *avant = plot->currentLayer();
    Pile pile(plot, QStringLiteral("courbes"), QStringLiteral("main"));
    Inscription inscription(plot);
    for (int rcdi = 0; rcdi < count; ++rcdi) {
        zolmessage("rcdi=%d, partn=%d\n", rcdi, shp->partn[rcdi]);
        const int type = shp->shptype[rcdi];
        if (type != 3 && type != 5)
            continue;
        for (int parti = 0; parti < shp->partn[rcdi]; ++parti) {
            zolmessage("parti=%d\n", parti);
            const int n = shp->pointn[rcdi][parti];
            QCPRange cles, valeurs;
            const QVector<QCPCurveData> points = donneesCourbe(
                shp->x[rcdi][parti], shp->y[rcdi][parti], n, type == 5, cles, valeurs);
            plot->setCurrentLayer(pile.suivante());
            QCPCurve *curve = new Courbe(plot->xAxis, plot->yAxis, cles, valeurs);
            inscription.range();
            curve->setParent(parent);
            curve->data()->set(points, true);
            habille(curve, type == 5);
            curve->setName(QString("shp[%1][%2]").arg(rcdi).arg(parti));
            courbes.append(curve);
        }
    }
    deleteshp(shp, count);
    plot->setCurrentLayer(avant);
    legende(plot)->ajoute(courbes);
    // A legend of 30 entries and more would cover the map.
    plot->legend->setVisible(courbes.size() < 30);
}

// Polygons green and translucent, lines blue and unfilled; selected ones in
// their own colours.
void KaluView::habille(QCPCurve *curve, bool polygone)
{
    if (polygone) {
        curve->setPen(QPen(polygonColor));
        curve->setBrush(QBrush(polygonFillColor, Qt::SolidPattern));
        curve->selectionDecorator()->setPen(QPen(polygonSelectedColor));
        curve->selectionDecorator()->setBrush(QBrush(polygonSelectedFillColor, Qt::SolidPattern));
    } else {
        curve->setPen(QPen(lineColor));
        curve->selectionDecorator()->setPen(QPen(lineSelectedColor));
    }
}

// Versions and build stamps of the program, of Zol, of the plotting library
// actually linked and of the Qt found at run time.
void KaluView::about()
{
    const std::string texte =
        "<b>Kalu</b>-19.10 (" + prend(klutemps(0)) + ", gcc-" + prend(klugcc()) +
        ")<br><b>Zol</b>-" + prend(zolversion()) + " (" + prend(zoltemps(0)) + ", gcc-" +
        prend(zolgcc()) + ", " + prend(zolplateforme()) + ")<br><b>QCustomPlot</b>-" +
        QCUSTOMPLOT_VERSION_STR + "<br><b>Qt</b>-" + qVersion() +
        "<br><br>Description du format <b>Shapefile</b> : <br><a href=\"" + ADRESSE_SHP + "\">" +
        ADRESSE_SHP + "</a>";

    QMessageBox box(this);
    box.setWindowTitle(tr("À propos de"));
    box.setText(tr(texte.c_str()));
    box.addButton("D'ac!", QMessageBox::AcceptRole);
    QPushButton *qt = box.addButton("À propos de Qt", QMessageBox::ActionRole);
    box.exec();
    if (box.clickedButton() == qt)
        QMessageBox::aboutQt(this, "À propos de Qt");
}

// Takes a string of Zol's version and stamp getters (a new[] block, null on
// failure) into a std::string.
std::string KaluView::prend(char *chaine)
{
    std::string s = chaine ? chaine : "?";
    delete[] chaine;
    return s;
}

// The bottom axis wins over the left one; with neither selected, drag and
// zoom act in both directions.
static Qt::Orientations orientationChoisie(const QCustomPlot *plot)
{
    if (plot->xAxis->selectedParts().testFlag(QCPAxis::spAxis))
        return plot->xAxis->orientation();
    if (plot->yAxis->selectedParts().testFlag(QCPAxis::spAxis))
        return plot->yAxis->orientation();
    return Qt::Horizontal | Qt::Vertical;
}

// Asks for a new text in a modal dialog; false when the user cancels.
static bool demandeTexte(QWidget *parent, const QString &titre, const QString &invite,
                         const QString &offert, QString *texte)
{
    bool ok = false;
    *texte = QInputDialog::getText(parent, titre, invite, QLineEdit::Normal, offert, &ok);
    return ok;
}

// Title and sub-title: the element that sent the double-click is edited; a
// sender of any other kind is ignored. A legend that overflows the axis
// rectangle lies over the titles, and the plot hands the text element a
// double-click that its items and box let through: that one was meant for
// the legend, whose own handler follows.
static void editeTexte(QWidget *parent, QCustomPlot *plot, QCPTextElement *element,
                       const QMouseEvent *event, const QString &invite)
{
    if (event && plot->legend->visible() && plot->legend->selectTest(event->pos(), false) >= 0)
        return;
    QString texte;
    if (element && demandeTexte(parent, "Maquette Kalu", invite, element->text(), &texte)) {
        element->setText(texte);
        plot->replot();
    }
}

// The axis line and its tick labels act as one object, selected together
// with the twin axis; the label stays selectable on its own. A curve and its
// legend item are selected together, whichever of the two was clicked.
void KaluView::selectionChanged()
{
    zolentree(KLUSRC, "selectionChanged", nullptr);
    QCustomPlot *plot = ui->customPlot;
    const QCPAxis::SelectableParts ligne = QCPAxis::spAxis | QCPAxis::spTickLabels;
    const std::pair<QCPAxis *, QCPAxis *> jumelles[] = {{plot->xAxis, plot->xAxis2},
                                                        {plot->yAxis, plot->yAxis2}};
    for (const auto &paire : jumelles) {
        if ((paire.first->selectedParts() & ligne) || (paire.second->selectedParts() & ligne)) {
            paire.second->setSelectedParts(ligne);
            paire.first->setSelectedParts(ligne);
        }
    }

    // One pass over the legend: every curve has its item there, and looking
    // each curve's item up instead would cost a scan of the legend per curve.
    QCPLegend *legend = plot->legend;
    for (int i = 0; i < legend->itemCount(); ++i) {
        QCPPlottableLegendItem *item = qobject_cast<QCPPlottableLegendItem *>(legend->item(i));
        QCPCurve *curve = item ? qobject_cast<QCPCurve *>(item->plottable()) : nullptr;
        if (curve && (item->selected() || curve->selected())) {
            item->setSelected(true);
            curve->setSelection(QCPDataSelection(QCPDataRange(0, curve->dataCount())));
        }
    }
    zolsortie(KLUSRC, "selectionChanged", nullptr);
}

// A selected axis restricts dragging to its direction.
void KaluView::mousePress()
{
    zolentree(KLUSRC, "mousePress", nullptr);
    ui->customPlot->axisRect()->setRangeDrag(orientationChoisie(ui->customPlot));
    zolsortie(KLUSRC, "mousePress", nullptr);
}

// A selected axis restricts zooming to its direction.
void KaluView::mouseWheel()
{
    ui->customPlot->axisRect()->setRangeZoom(orientationChoisie(ui->customPlot));
}

void KaluView::titleDoubleClick(QMouseEvent *event)
{
    editeTexte(this, ui->customPlot, qobject_cast<QCPTextElement *>(sender()), event,
               QString::fromUtf8("Nouveau titre :"));
}

void KaluView::titlexDoubleClick(QMouseEvent *event)
{
    editeTexte(this, ui->customPlot, qobject_cast<QCPTextElement *>(sender()), event,
               QString::fromUtf8("Nouveau sous-titre :"));
}

void KaluView::axisLabelDoubleClick(QCPAxis *axis, QCPAxis::SelectablePart part)
{
    QString texte;
    if (part == QCPAxis::spAxisLabel &&
        demandeTexte(this, "Maquette Kalu", QString::fromUtf8("Nouvelle étiquette :"),
                     axis->label(), &texte)) {
        axis->setLabel(texte);
        ui->customPlot->replot();
    }
}

// A double-click on the legend's border, between items, gives no item.
void KaluView::legendDoubleClick(QCPLegend *legend, QCPAbstractLegendItem *item)
{
    (void)legend;
    QCPPlottableLegendItem *plItem = qobject_cast<QCPPlottableLegendItem *>(item);
    QString texte;
    if (plItem && demandeTexte(this, "QCP example", "New shape name:",
                               plItem->plottable()->name(), &texte)) {
        plItem->plottable()->setName(texte);
        ui->customPlot->replot();
    }
}

// Shows the clicked point as "<curve>[..][<index>] = (<lon>, <lat>)" in the
// sub-title, where it stays until the next click or edit.
void KaluView::graphClicked(QCPAbstractPlottable *plottable, int dataIndex)
{
    zolentree(KLUSRC, "graphClicked", nullptr);
    QCPPlottableInterface1D *donnees = plottable->interface1D();
    if (donnees && dataIndex >= 0 && dataIndex < donnees->dataCount()) {
        // One substitution pass: chained, each arg would also fill the
        // placeholders that the name brings ("%1" or "a%2b" for a name).
        const QString message = QString("%1[..][%2] = (%3, %4)")
                                    .arg(plottable->name(), QString::number(dataIndex),
                                         QString::number(donnees->dataMainKey(dataIndex), 'g'),
                                         QString::number(donnees->dataMainValue(dataIndex), 'g'));
        subTitle->setText(message);
        // Queued: a click that changes the selection has queued its own
        // replot already, and a full replot of a big map is long.
        ui->customPlot->replot(QCustomPlot::rpQueuedReplot);
    }
    zolsortie(KLUSRC, "graphClicked", nullptr);
}

// A new menu per request, deleted by Qt when it closes. On the legend it
// offers the legend's places, elsewhere the removals that apply.
void KaluView::contextMenuRequest(QPoint pos)
{
    QCustomPlot *plot = ui->customPlot;
    QMenu *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);

    // A hidden legend keeps its place in the layout: it must not catch the
    // click.
    if (plot->legend->visible() && plot->legend->selectTest(pos, false) >= 0) {
        const std::pair<const char *, Qt::Alignment> places[] = {
            {"Move to top left", Qt::AlignTop | Qt::AlignLeft},
            {"Move to top center", Qt::AlignTop | Qt::AlignHCenter},
            {"Move to top right", Qt::AlignTop | Qt::AlignRight},
            {"Move to bottom right", Qt::AlignBottom | Qt::AlignRight},
            {"Move to bottom left", Qt::AlignBottom | Qt::AlignLeft}};
        for (const auto &place : places)
            menu->addAction(place.first, this, SLOT(moveLegend()), QKeySequence())
                ->setData(int(place.second));
    } else {
        if (!plot->selectedPlottables().isEmpty())
            menu->addAction("Remove selected shape", this, SLOT(removeSelectedGraph()), QKeySequence());
        if (plot->plottableCount() > 0)
            menu->addAction("Remove all shapes", this, SLOT(removeAllGraphs()), QKeySequence());
    }
    menu->popup(plot->mapToGlobal(pos));
}

// Only a legend entry of the context menu calls this: its data holds the
// alignment.
void KaluView::moveLegend()
{
    QAction *action = qobject_cast<QAction *>(sender());
    if (!action)
        return;
    bool ok = false;
    const int alignement = action->data().toInt(&ok);
    if (ok) {
        ui->customPlot->axisRect()->insetLayout()->setInsetAlignment(0, Qt::Alignment(alignement));
        ui->customPlot->replot();
    }
}

// Empties plot and legend; ranges, title and sub-title stay.
void KaluView::removeAllGraphs()
{
    clearShapes();
    ui->customPlot->replot();
}

// Only one curve goes, the first selected one.
void KaluView::removeSelectedGraph()
{
    QCustomPlot *plot = ui->customPlot;
    const QList<QCPAbstractPlottable *> choisies = plot->selectedPlottables();
    if (choisies.isEmpty())
        return;
    retireCourbe(choisies.first());
    plot->replot();
}

namespace {
// A busy cursor while files load, so that a long load shows as work in
// progress; restored however the loading ends.
struct CurseurOccupe {
    CurseurOccupe() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CurseurOccupe() { QApplication::restoreOverrideCursor(); }
    CurseurOccupe(const CurseurOccupe &) = delete;
    CurseurOccupe &operator=(const CurseurOccupe &) = delete;
};
} // namespace

// The only way shapefiles reach the plot: the chosen files replace what is
// shown, framed at equal scale.
void KaluView::appuiBoutonExplorer()
{
    QFileDialog dialog(nullptr, QString(), QString(), QString());
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setViewMode(QFileDialog::List);
    if (dialog.exec() != QDialog::Accepted) {
        ui->statusBar->showMessage("naf", 0);
        return;
    }
    chargeShapefiles(dialog.selectedFiles());
}

void KaluView::chargeShapefiles(const QStringList &fichiers)
{
    zolmessage("Nombre fichiers *.shp : %d\n", fichiers.size());
    QCustomPlot *plot = ui->customPlot;
    clearShapes();
    {
        CurseurOccupe occupe;
        for (const QString &fichier : fichiers)
            fscanshp_cpt(fichier.toUtf8().toStdString());
    }
    plot->rescaleAxes(false);
    adjustEqualScale();
    plot->replot();
}
