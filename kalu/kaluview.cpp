#include "kaluview.h"

#include "kluconf.h"
#include "ui_kaluview.h"
#include "zolconf.h"
#include "zolshp.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

#include <cmath>

static const char KLUSRC[] = "../kalu/kaluview.cpp";

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

KaluView::~KaluView() = default;

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

// Loading one shapefile into the plot: one curve per part of every record.
// Rescaling and replotting are the caller's.
// The points of one part as curve data, t being the point's index in its
// part. A coordinate the plot cannot place (NaN, an infinity, or a magnitude
// like 1e308 from a damaged file) would make rescaleAxes compute a range
// that setRange refuses: the view then kept its old ranges and could show
// none of the sound curves. Such a point of a line becomes a gap (NaN, which
// the plot skips when fitting the axes and draws as a break); a polygon's
// ring cannot be filled across a gap, so there the vertex is left out. Half
// the plot's largest range keeps any two placeable points within one valid
// range.
static QVector<QCPCurveData> donneesCourbe(const double *x, const double *y, int n,
                                           bool polygone)
{
    const double limite = QCPRange::maxRange / 2;
    QVector<QCPCurveData> points;
    points.reserve(n);
    for (int k = 0; k < n; ++k) {
        if (std::fabs(x[k]) < limite && std::fabs(y[k]) < limite)
            points.append(QCPCurveData(k, x[k], y[k]));
        else if (!polygone)
            points.append(QCPCurveData(k, qQNaN(), qQNaN()));
    }
    return points;
}

void KaluView::fscanshp_cpt(std::string shppath)
{
    int count = 0;
    ShpData *shp = fscan_shp(shppath.c_str(), count);
    if (shp == nullptr) {
        zolerreur(KLUSRC, "fscanshp_cpt", nullptr, "erreur fscan_shp()!\n");
        return;
    }
    QCustomPlot *plot = ui->customPlot;
    title->setText(QString("Shapefile: '%1'").arg(QString::fromUtf8(shppath.c_str())));

    int courbes = 0;
    for (int rcdi = 0; rcdi < count; ++rcdi) {
        zolmessage("rcdi=%d, partn=%d\n", rcdi, shp->partn[rcdi]);
        const int type = shp->shptype[rcdi];
        if (type != 3 && type != 5)
            continue;
        for (int parti = 0; parti < shp->partn[rcdi]; ++parti) {
            zolmessage("parti=%d\n", parti);
            const int n = shp->pointn[rcdi][parti];
            QCPCurve *curve = new QCPCurve(plot->xAxis, plot->yAxis);
            curve->data()->set(donneesCourbe(shp->x[rcdi][parti], shp->y[rcdi][parti], n, type == 5),
                               true);
            habille(curve, type == 5);
            curve->setName(QString("shp[%1][%2]").arg(rcdi).arg(parti));
            ++courbes;
        }
    }
    deleteshp(shp, count);
    // A legend of 30 entries and more would cover the map.
    plot->legend->setVisible(courbes < 30);
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

void KaluView::selectionChanged() {}
void KaluView::mousePress() {}
void KaluView::mouseWheel() {}
void KaluView::titleDoubleClick(QMouseEvent *event) { (void)event; }
void KaluView::titlexDoubleClick(QMouseEvent *event) { (void)event; }
void KaluView::axisLabelDoubleClick(QCPAxis *axis, QCPAxis::SelectablePart part)
{
    (void)axis;
    (void)part;
}
void KaluView::legendDoubleClick(QCPLegend *legend, QCPAbstractLegendItem *item)
{
    (void)legend;
    (void)item;
}
void KaluView::graphClicked(QCPAbstractPlottable *plottable, int dataIndex)
{
    (void)plottable;
    (void)dataIndex;
}
void KaluView::contextMenuRequest(QPoint pos) { (void)pos; }
void KaluView::moveLegend() {}
void KaluView::removeAllGraphs() {}
void KaluView::removeSelectedGraph() {}
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
    const QStringList fichiers = dialog.selectedFiles();
    zolmessage("Nombre fichiers *.shp : %d\n", fichiers.size());
    QCustomPlot *plot = ui->customPlot;
    plot->clearPlottables();
    for (const QString &fichier : fichiers)
        fscanshp_cpt(fichier.toUtf8().toStdString());
    plot->rescaleAxes(true);
    adjustEqualScale();
    plot->replot();
}
