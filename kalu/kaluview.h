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
// Threads: everything here is the GUI thread's. A load reads its file on a
// thread of its own (kalucharge) while this window's event loop runs, the
// curves are made here as the pieces come, and drawn by the map's jobs.
#ifndef KALUVIEW_H
#define KALUVIEW_H

#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QMainWindow>
#include <QPen>

#include <memory>
#include <string>

#include "qcustomplot.h"

namespace Ui
{
class MainWindow;
}
class Carte;
class Courbe;
class Lecture;
struct Piece;
class QEventLoop;
class QStatusBar;

// A load under way: the busy cursor, the file and how far along it is in
// the status bar (at most ten times a second), and no user input until it
// ends, so that no click, drop or Explorer choice comes in the middle (a
// drag over the window shows it refuses). The quit keys stay live: closing
// the window ends the load.
class Progression : public QObject
{
  public:
    explicit Progression(QStatusBar *barre);
    ~Progression() override;
    void debut(const std::string &chemin);
    void avance(int fait, int total);

  protected:
    bool eventFilter(QObject *objet, QEvent *event) override;

  private:
    // The progress message goes; the status bar shows again what it showed
    // before the load.
    void fin();
    void montre(int pourcent);

    QStatusBar *barre;
    QString avant, nom;
    QElapsedTimer horloge;
};

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
    // files named to kalu-export or by a test. Prints their number, removes
    // every curve, loads each file in order (path as UTF-8; a file the
    // reader rejects is reported and skipped, the curves it made taken
    // back) under a busy cursor, with its progress in the status bar, fits
    // the axes to the data, equalises their scales and replots.
    // The view the load ends at is set before each file's first curve, from
    // the box its header declares, and mended once its points are read; the
    // map is drawn as its curves come, shown at least every few tenths of a
    // second, and when the load ends in that view its picture is complete.
    // Without `replot` the plot is only laid out, and the curves are drawn
    // as they come for an export of the plot's size (kalu-export).
    // Returns once the files are loaded. Meanwhile the window's event loop
    // runs (repaints, resizes, the window manager), with every user input
    // refused; closing the window ends the load, and the plot is then
    // neither fitted nor replotted. A call made while a load runs does
    // nothing.
    void chargeShapefiles(const QStringList &fichiers, bool replot = true);
    // Whether a load is under way (its nested event loop runs).
    bool chargeEnCours() const { return lecture != nullptr; }

  signals:
    // One file's load is over: its curves are on the plot (`lu`), or the
    // reader rejected it and it was skipped. The reader's own messages do not
    // always name the file; a caller that loads several tells them apart
    // here.
    void fichierCharge(const QString &fichier, bool lu);

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
    // Closing the window ends a load under way.
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
    struct Habits {
        explicit Habits(const KaluView &v);
        QPen ligne, polygone;
        QBrush fond;
        std::shared_ptr<QCPSelectionDecorator> choixLigne, choixPolygone;
    };
    void habille(Courbe *curve, bool polygone, const Habits &h);
    void ajouteCourbe(const Piece &p, const Habits &h);
    int suisLecture(Lecture &lue, Progression &suivi, const QString &nom);
    static std::string prend(char *chaine);
    void setupFenetre();
    void metEnPage();
    void gardeEchelle(QSize avant);
    void egalise();
    void cadreFinal();
    void cadrePrevu(const Lecture *lue, const char *chemin);
    void retientMessage(const QString &message);
    void montreRefus();

    std::unique_ptr<Ui::MainWindow> ui;
    QAction *aboutAction;
    QAction *explorerAction;
    QCPTextElement *title;
    QCPTextElement *subTitle;
    Carte *carte;
    Progression *progression = nullptr;
    Lecture *lecture = nullptr;    // the file being loaded
    QEventLoop *attente = nullptr; // runs the window while it loads
    bool abandon = false;          // the window was closed during a load
    bool montreCharge = false;     // this load replots: its map shows as it comes
    QStringList refus;             // the files of this load that could not be read
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
