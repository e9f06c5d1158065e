// SPDX-License-Identifier: GPL-3.0-or-later
#include "kaluview.h"

#include "kalubilan.h"
#include "kalucadrage.h"
#include "kalucarte.h"
#include "kalupointeur.h"
#include "kaluseance.h"
#include "kluconf.h"
#include "ui_kaluview.h"
#include "zolconf.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

static const char KLUSRC[] = "../kalu/kaluview.cpp";

// The published technical description of the shapefile format.
static const char ADRESSE_SHP[] = "https://www.esri.com/library/whitepapers/pdfs/shapefile.pdf";

KaluView::KaluView(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), aboutAction(nullptr), explorerAction(nullptr),
      title(nullptr), subTitle(nullptr), carte(nullptr), lineColor(0, 102, 255, 255),
      lineSelectedColor(255, 153, 0, 255), polygonColor(0, 204, 0, 255),
      polygonFillColor(0, 204, 0, 85), polygonSelectedColor(255, 51, 255, 255),
      polygonSelectedFillColor(255, 51, 255, 85), gridColor(204, 204, 255, 255), gridPen(gridColor),
      zeroLinePen(gridColor), selectedAxisPen(lineColor),
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
    setupFenetre();
}

// The plot would remove its curves from the back, looking each one's legend
// item up on the way: quadratic in the number of curves.
KaluView::~KaluView()
{
    seance.reset(); // its progress clears the status bar, whose message this window keeps
    clearShapes();
}

// Puts a Legende where the plot made its own, with the same place, layer and
// (hidden) visibility, and the map that draws the curves and makes their
// legend items.
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
    carte = new Carte(plot);
    neuve->setAvantMiseEnPage([c = carte] { c->faitEntrees(); });
}

QCustomPlot *KaluView::plot() const
{
    return ui->customPlot;
}

void KaluView::clearShapes()
{
    carte->vide();
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
    aboutAction->setShortcut(QKeySequence::HelpContents);
    connect(aboutAction, &QAction::triggered, this, &KaluView::about);

    explorerAction = new QAction(tr("&Explorer"), this);
    explorerAction->setStatusTip(tr("Explorateur de fichier *.shp"));
    explorerAction->setShortcut(QKeySequence::Open);
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
    connect(plot, &QCustomPlot::selectionChangedByUser, this, &KaluView::selectionChanged);
    connect(plot, &QCustomPlot::mousePress, this, &KaluView::mousePress);
    connect(plot, &QCustomPlot::mouseWheel, this, &KaluView::mouseWheel);
    // The top and right axes follow the bottom and left ones, never the reverse.
    const auto suitGamme = qOverload<const QCPRange &>(&QCPAxis::rangeChanged);
    const auto prendGamme = qOverload<const QCPRange &>(&QCPAxis::setRange);
    connect(plot->xAxis, suitGamme, plot->xAxis2, prendGamme);
    connect(plot->yAxis, suitGamme, plot->yAxis2, prendGamme);
    // Double-clicks edit labels, curve names, title and sub-title.
    connect(plot, &QCustomPlot::axisDoubleClick, this, &KaluView::axisLabelDoubleClick);
    connect(plot, &QCustomPlot::legendDoubleClick, this, &KaluView::legendDoubleClick);
    connect(title, &QCPTextElement::doubleClicked, this, &KaluView::titleDoubleClick);
    connect(subTitle, &QCPTextElement::doubleClicked, this, &KaluView::titlexDoubleClick);
    // A click on a curve shows the clicked point in the sub-title.
    connect(plot, &QCustomPlot::plottableClick, this, &KaluView::graphClicked);
    // Context menu: legend placement and shape removal.
    plot->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(plot, &QWidget::customContextMenuRequested, this, &KaluView::contextMenuRequest);
}

void KaluView::adjustEqualScale()
{
    QCustomPlot *plot = ui->customPlot;
    QCPAxisRect *rect = plot->xAxis->axisRect();
    zolmessage("ui->customPlot->width()=%d\n", plot->width());
    zolmessage("ui->customPlot->height()=%d\n", plot->height());
    zolmessage("ui->customPlot->axisRect()->width()=%d\n", rect->width());
    zolmessage("ui->customPlot->axisRect()->height()=%d\n", rect->height());
    zolmessage("xr=%lf, xc=%lf, dnxl=%lf\n", plot->xAxis->range().size(),
               plot->xAxis->range().center(), double(rect->width()));
    zolmessage("yr=%lf, yc=%lf, dnyl=%lf\n", plot->yAxis->range().size(),
               plot->yAxis->range().center(), double(rect->height()));
    Cadrage(plot).egalise();
}

// Loading one shapefile into the plot, adding to what it shows: one curve
// per part of every record, made by a job of one file. Fitting the view and
// replotting are the caller's.
void KaluView::fscanshp_cpt(string shppath)
{
    seance->lance({QString::fromUtf8(shppath.c_str())}, false);
}

void KaluView::chargeShapefiles(const QStringList &fichiers, bool replot)
{
    seance->charge(fichiers, replot);
}

bool KaluView::chargeEnCours() const
{
    return seance->enCours();
}

void KaluView::arreteChargement()
{
    seance->arrete();
}

Tirage::Temoin *KaluView::temoin() const
{
    return seance.get();
}

Chargement::Refus KaluView::refusFichier() const
{
    return seance->refus();
}

// A close request ends the load under way at once: the reading stops after
// its record and nothing is reported.
void KaluView::closeEvent(QCloseEvent *event)
{
    seance->abandonne();
    QMainWindow::closeEvent(event);
}

// Polygons green and translucent, lines blue and unfilled; selected ones in
// their own colours. Made once per load: every curve shares them, their
// selection decorators included.
Chargement::Habits KaluView::habits() const
{
    Chargement::Habits h;
    h.ligne = QPen(lineColor);
    h.polygone = QPen(polygonColor);
    h.fond = QBrush(polygonFillColor, Qt::SolidPattern);
    h.choixLigne = std::make_shared<QCPSelectionDecorator>();
    h.choixLigne->setPen(QPen(lineSelectedColor));
    h.choixPolygone = std::make_shared<QCPSelectionDecorator>();
    h.choixPolygone->setPen(QPen(polygonSelectedColor));
    h.choixPolygone->setBrush(QBrush(polygonSelectedFillColor, Qt::SolidPattern));
    return h;
}

// Versions and build stamps of the program, of Zol, of the plotting library
// actually linked and of the Qt found at run time.
void KaluView::about()
{
    const std::string texte = "<b>Kalu</b>-19.10 (" + prend(klutemps(0)) + ", gcc-" +
                              prend(klugcc()) + ")<br><b>Zol</b>-" + prend(zolversion()) + " (" +
                              prend(zoltemps(0)) + ", gcc-" + prend(zolgcc()) + ", " +
                              prend(zolplateforme()) + ")<br><b>QCustomPlot</b>-" +
                              QCUSTOMPLOT_VERSION_STR + "<br><b>Qt</b>-" + qVersion() +
                              "<br><br>Description du format <b>Shapefile</b> : <br><a href=\"" +
                              ADRESSE_SHP + "\">" + ADRESSE_SHP + "</a>";

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

    carte->accordeSelection();
    zolsortie(KLUSRC, "selectionChanged", nullptr);
}

// A selected axis restricts dragging to its direction.
void KaluView::mousePress()
{
    zolentree(KLUSRC, "mousePress", nullptr);
    ui->customPlot->xAxis->axisRect()->setRangeDrag(orientationChoisie(ui->customPlot));
    zolsortie(KLUSRC, "mousePress", nullptr);
}

// A selected axis restricts zooming to its direction.
void KaluView::mouseWheel()
{
    ui->customPlot->xAxis->axisRect()->setRangeZoom(orientationChoisie(ui->customPlot));
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
    if (plItem &&
        demandeTexte(this, "QCP example", "New shape name:", plItem->plottable()->name(), &texte)) {
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
                                    .arg(nomDe(plottable), QString::number(dataIndex),
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
            menu->addAction(place.first, this, &KaluView::moveLegend, QKeySequence())
                ->setData(int(place.second));
    } else {
        if (!plot->selectedPlottables().isEmpty())
            menu->addAction("Remove selected shape", this, &KaluView::removeSelectedGraph,
                            QKeySequence());
        if (plot->plottableCount() > 0)
            menu->addAction("Remove all shapes", this, &KaluView::removeAllGraphs, QKeySequence());
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
        ui->customPlot->xAxis->axisRect()->insetLayout()->setInsetAlignment(
            0, Qt::Alignment(alignement));
        ui->customPlot->replot();
    }
}

// Empties plot and legend; ranges, title and sub-title stay. A load under
// way stops first.
void KaluView::removeAllGraphs()
{
    seance->vide();
    ui->customPlot->replot();
}

// Only one curve goes, the first selected one.
void KaluView::removeSelectedGraph()
{
    QCustomPlot *plot = ui->customPlot;
    const QList<QCPAbstractPlottable *> choisies = plot->selectedPlottables();
    if (choisies.isEmpty())
        return;
    const QString avant = Bilan::formes(plot->plottableCount());
    retireCourbe(choisies.first());
    if (ui->statusBar->currentMessage() == avant)
        ui->statusBar->showMessage(Bilan::formes(plot->plottableCount()), 0);
    plot->replot();
}

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

// ---- The window around the plot -------------------------------------------
// Its icon, drops, the quit shortcut, and the plot's scale kept through
// resizes.

// The icons are a resource of the library that holds the window, so that
// every program built on it has them. Outside any namespace, as the resource
// initialiser is declared where it is called.
static void chargeIcones()
{
    Q_INIT_RESOURCE(kalu);
}

void KaluView::setupFenetre()
{
    chargeIcones();
    QIcon icone;
    for (int cote : {48, 256})
        icone.addFile(QString(":/icons/org.kalu.Kalu-%1.png").arg(cote), QSize(cote, cote));
    setWindowIcon(icone);
    setAcceptDrops(true);

    // In no bar: the tool bar's actions stay as they are. Windows has no
    // quit key of its own; there, too, Ctrl+Q.
    QAction *quitte = new QAction(this);
    QList<QKeySequence> touches = QKeySequence::keyBindings(QKeySequence::Quit);
    if (touches.isEmpty())
        touches << QKeySequence(Qt::CTRL | Qt::Key_Q);
    quitte->setShortcuts(touches);
    connect(quitte, &QAction::triggered, this, &QWidget::close);
    addAction(quitte);

    // Home frames the whole map again, as a load's end does.
    QAction *tout = new QAction(this);
    tout->setShortcut(Qt::Key_Home);
    connect(tout, &QAction::triggered, this, [this] { seance->cadreTout(); });
    addAction(tout);

    pointeur = new Pointeur;
    ui->statusBar->addPermanentWidget(pointeur);
    connect(ui->customPlot, &QCustomPlot::mouseMove, this, &KaluView::montrePointeur);

    boutonArret = Progression::nouveauBouton(ui->statusBar);
    stopAction = new QAction(this);
    stopAction->setShortcut(Qt::Key_Escape);
    stopAction->setEnabled(false);
    connect(stopAction, &QAction::triggered, this, &KaluView::arreteChargement);
    addAction(stopAction);

    seance.reset(
        new Seance({ui->customPlot, carte, title, ui->statusBar, boutonArret, stopAction, pointeur,
                    [this] { adjustEqualScale(); }, [this] { return habits(); }}));
    connect(seance.get(), &Seance::fichierCharge, this, &KaluView::fichierCharge);
    connect(seance.get(), &Seance::chargementFini, this, &KaluView::chargementFini);

    ui->customPlot->installEventFilter(this);
    connect(ui->statusBar, &QStatusBar::messageChanged, this, &KaluView::retientMessage);
}

// Runs before the plot's own handler, while the axis rectangle still has
// the size it was drawn with; the plot then replots with the kept scale. A
// plot not shown yet has no drawn scale to keep.
bool KaluView::eventFilter(QObject *objet, QEvent *event)
{
    QCustomPlot *plot = ui->customPlot;
    if (objet == plot && event->type() == QEvent::Leave)
        pointeur->clear();
    if (objet == plot && event->type() == QEvent::Resize && plot->isVisible()) {
        const QSize avant = plot->xAxis->axisRect()->rect().size();
        plot->setViewport(QRect(QPoint(0, 0), static_cast<QResizeEvent *>(event)->size()));
        seance->gardeEchelle(avant);
    }
    return QMainWindow::eventFilter(objet, event);
}

// None while a load's progress shows.
void KaluView::montrePointeur(QMouseEvent *event)
{
    if (seance->progresse())
        pointeur->clear();
    else
        pointeur->montre(ui->customPlot, event->pos());
}

// The status bar's last message, unless a status tip put it there.
void KaluView::retientMessage(const QString &message)
{
    if (!dansInfobulle)
        messageDurable = message;
}

// Qt shows a status tip while the pointer is over an action and sends an
// empty one when it leaves, which would clear the message for good.
bool KaluView::event(QEvent *event)
{
    if (event->type() != QEvent::StatusTip)
        return QMainWindow::event(event);
    QStatusTipEvent *infobulle = static_cast<QStatusTipEvent *>(event);
    if (infobulle->tip().isEmpty() && !messageDurable.isEmpty()) {
        ui->statusBar->showMessage(messageDurable);
        return true;
    }
    dansInfobulle = true;
    const bool traite = QMainWindow::event(event);
    dansInfobulle = false;
    return traite;
}

// The local files among the dragged URLs, in their order.
static QStringList fichiersLocaux(const QMimeData *donnees)
{
    QStringList fichiers;
    if (donnees != nullptr && donnees->hasUrls())
        for (const QUrl &url : donnees->urls())
            if (url.isLocalFile())
                fichiers << url.toLocalFile();
    return fichiers;
}

// Refused, the drag shows the "no drop" cursor over the whole window.
void KaluView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!fichiersLocaux(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

// The drop is answered at once and the files load from the event loop: the
// program the files come from waits for the answer, not for the loading.
void KaluView::dropEvent(QDropEvent *event)
{
    const QStringList fichiers = fichiersLocaux(event->mimeData());
    if (fichiers.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    QTimer::singleShot(0, this, [this, fichiers] { chargeShapefiles(fichiers); });
}
