// SPDX-License-Identifier: GPL-3.0-or-later
// kaluview: the program's only window, a plot of shapefile parts.
//
// Every part of every PolyLine or Polygon record of the loaded shapefiles is
// one curve, longitude on the bottom axis and latitude on the left axis. The
// plot's signals reach the private slots below through member-function
// connections made in the constructor, which the compiler checks.
//
// As a desktop window it carries the program's icon, loads the local files
// dropped on it, and has the keys Ctrl+O (Explorer), F1 (About) and Ctrl+Q
// (closes it).
//
// As a desktop window it also takes Escape: it stops a load under way.
//
// Threads: everything here is the GUI thread's. A load is a job
// (kaluchargement) that reads its files on threads of its own and makes the
// curves between this window's events, the window's side of it a Seance
// (kaluseance); the map's jobs draw them.
#ifndef KALUVIEW_H
#define KALUVIEW_H

#include <QColor>
#include <QFont>
#include <QMainWindow>
#include <QPen>

#include <memory>
#include <string>

#include "kaluchargement.h"
#include "kalutirage.h"
#include "qcustomplot.h"

namespace Ui
{
class MainWindow;
}
class Carte;
class Pointeur;
class Seance;
class QToolButton;

class KaluView : public QMainWindow
{
    Q_OBJECT

  public:
    explicit KaluView(QWidget *parent = nullptr);
    ~KaluView() override;

    // Gives both axes the same number of data units per pixel by widening the
    // one range that needs it about its centre. Does not replot.
    void adjustEqualScale();

    // Every load comes through here: the Explorer's choice, a drop, the
    // files named to kalu-export or by a test. Starts the load and returns
    // at once: it prints the files' number, removes every curve, then loads
    // each file in order as a job beside the user (path as UTF-8; a file
    // the reader rejects is reported and skipped, the curves it made taken
    // back), its progress and a stop button in the status bar; at its end
    // it fits the axes to the data, equalises their scales and replots, and
    // sends chargementFini().
    // The view the load ends at is set before each file's first curve, from
    // the box its header declares, and mended once its points are read; the
    // map is drawn as its curves come, and when the load ends in that view
    // its picture is complete. A view the user moves during the load is
    // kept: the load then fits nothing.
    // Without `replot` the plot is only laid out, and the curves are drawn
    // as they come for an export of the plot's size (kalu-export).
    // A load under way is stopped first, silently: the new one replaces it.
    void chargeShapefiles(const QStringList &fichiers, bool replot = true);
    // Whether a load is under way.
    bool chargeEnCours() const;
    // Stops the load under way (Escape, the status bar's button): the files
    // read keep their curves, and the one being read its whole records;
    // the view stays as it is, and the status bar says what was kept.
    void arreteChargement();

    // kalu-export's raster pictures need no curve (kalutirage): the files
    // are read there, and the witness given here, told each step of that
    // load, takes the one the window's own load of them takes at the same
    // point, so that the view, the title, the legend's visibility, the
    // trace lines and fichierCharge() are that load's. GUI thread, from
    // lectureCommence to lectureTerminee, with no other load; it lives as
    // long as the window.
    Tirage::Temoin *temoin() const;
    // The plot and its map, for what draws them outside the window
    // (kalu-export).
    QCustomPlot *plot() const;
    Carte *carteDuPlot() const { return carte; }
    // The looks a load gives its curves.
    Chargement::Habits habitsCourbes() const { return habits(); }
    // Why the file fichierCharge() tells of was skipped.
    Chargement::Refus refusFichier() const;

  signals:
    // One file's load is over: its curves are on the plot (`lu`), or the
    // reader rejected it and it was skipped, for the reason refusFichier()
    // gives meanwhile. The reader's own messages do not always name the
    // file; a caller that loads several tells them apart here.
    void fichierCharge(const QString &fichier, bool lu);
    // The load is over: done, stopped, replaced or ended by a close.
    void chargementFini();

  protected:
    // A resize of the plot keeps each axis's data units per pixel.
    bool eventFilter(QObject *objet, QEvent *event) override;
    // An empty status tip (the pointer leaving an action) brings back the
    // last message the window showed instead of clearing the status bar.
    bool event(QEvent *event) override;
    // Local files dropped on the window load as an Explorer choice of the
    // same files does; a drag without local files is refused.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    // Closing the window ends a load under way, reporting nothing.
    void closeEvent(QCloseEvent *event) override;

  private:
    // The loader slot's parameter type, under the name that its meta-object
    // signature carries: "fscanshp_cpt(string)".
    using string = std::string;

  private slots:
    void fscanshp_cpt(string shppath);
    void about();
    void selectionChanged();
    void mousePress();
    void mouseWheel();
    void titleDoubleClick(QMouseEvent *event);
    void titlexDoubleClick(QMouseEvent *event);
    void axisLabelDoubleClick(QCPAxis *axis, QCPAxis::SelectablePart part);
    void legendDoubleClick(QCPLegend *legend, QCPAbstractLegendItem *item);
    void graphClicked(QCPAbstractPlottable *plottable, int dataIndex);
    void contextMenuRequest(QPoint pos);
    void moveLegend();
    void removeAllGraphs();
    void removeSelectedGraph();
    void appuiBoutonExplorer();

  private:
    void setupAxes();
    void setupActions();
    void setupTitles();
    void connectPlot();
    void remplaceLegende();
    void clearShapes();
    void retireCourbe(QCPAbstractPlottable *courbe);
    Chargement::Habits habits() const;
    static std::string prend(char *chaine);
    void setupFenetre();
    void retientMessage(const QString &message);
    void montrePointeur(QMouseEvent *event);

    std::unique_ptr<Ui::MainWindow> ui;
    QAction *aboutAction;
    QAction *explorerAction;
    QCPTextElement *title;
    QCPTextElement *subTitle;
    Carte *carte;
    QAction *stopAction = nullptr;
    QToolButton *boutonArret = nullptr;
    std::unique_ptr<Seance> seance; // the load under way, or the last one
    Pointeur *pointeur = nullptr;   // the pointer's coordinates over the plot
    QColor lineColor;
    QColor lineSelectedColor;
    QColor polygonColor;
    QColor polygonFillColor;
    QColor polygonSelectedColor;
    QColor polygonSelectedFillColor;
    QColor gridColor;
    QPen gridPen;
    QPen zeroLinePen;
    QPen selectedAxisPen;
    QFont plotFont;
    QString messageDurable;
    bool dansInfobulle = false;
};

#endif
