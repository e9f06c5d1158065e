// kaluview: the program's only window, a plot of shapefile parts.
//
// Every part of every PolyLine or Polygon record of the loaded shapefiles is
// one curve, longitude on the bottom axis and latitude on the left axis. The
// plot's signals reach the private slots below through string-based
// connections made in the constructor.
#ifndef KALUVIEW_H
#define KALUVIEW_H

#include <QColor>
#include <QFont>
#include <QMainWindow>
#include <QPen>

#include <memory>
#include <string>

#include "qcustomplot.h"

// The loader slot's parameter is declared as `string`, the name its
// meta-object signature carries: invokeMethod callers pass Q_ARG(string, ...).
using std::string;

namespace Ui {
class MainWindow;
}

class KaluView : public QMainWindow
{
    Q_OBJECT

public:
    explicit KaluView(QWidget *parent = nullptr);
    ~KaluView() override;

    // Gives both axes the same number of data units per pixel by widening the
    // one range that needs it about its centre. Does not replot.
    void adjustEqualScale();

    // What the Explorer does with the files chosen, and kalu-export with the
    // files named: prints their number, removes every curve, loads each file
    // in order (path as UTF-8; a file the reader rejects is reported and
    // skipped) under a busy cursor, fits the axes to the data, equalises
    // their scales and replots.
    void chargeShapefiles(const QStringList &fichiers);

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
    void habille(QCPCurve *curve, bool polygone);
    static std::string prend(char *chaine);

    std::unique_ptr<Ui::MainWindow> ui;
    QAction *aboutAction;
    QAction *explorerAction;
    QCPTextElement *title;
    QCPTextElement *subTitle;
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
};

#endif
