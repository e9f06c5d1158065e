// The viewer with many curves: a real KaluView, offscreen, plot of 800 x 600
// pixels, loading generated Polygon files of 1k to 100k one-part records of
// 20 points through the Explorer action's path (fscanshp_cpt, rescale, equal
// scale, replot), then a selection click, a drag, and the clearing of a new
// choice ("Remove all shapes", the same clearing). Each size runs in a
// process of its own, so that its peak memory is its own.
//
// The reference: the same curves made by a plain plot with the library's
// default legend handling (every curve added to the legend as it is made),
// measured at 50k parts in the same run.
//
// Usage: kalu_bench_viewer [DIRECTORY] [--sans-reference]
//   DIRECTORY  where the generated files are kept (default $TMPDIR or /tmp).
#include <QApplication>
#include <QMouseEvent>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "genshp.h"
#include "kaluview.h"
#include "zolshp.h"

namespace {

const int POINTS = 20;

double maintenant()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double pic_mo()
{
    struct rusage u;
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

std::string fichier(const std::string &dossier, long parts)
{
    const std::string chemin = dossier + "/kalu-bench-vue-" + std::to_string(parts) + ".shp";
    struct stat st;
    if ((stat(chemin.c_str(), &st) != 0 || st.st_size != genshp::taille(parts, 1, POINTS)) &&
        !genshp::ecrit(chemin, 5, parts, 1, POINTS)) {
        fprintf(stderr, "can't write '%s'\n", chemin.c_str());
        exit(1);
    }
    return chemin;
}

// Sizes the widget until the plot is 800 x 600.
void taille_plot(QWidget &fenetre, QCustomPlot *plot)
{
    fenetre.show();
    for (int essai = 0; essai < 8; ++essai) {
        QApplication::processEvents();
        const QSize d = QSize(800, 600) - plot->size();
        if (d.isNull())
            return;
        fenetre.resize(fenetre.size() + d);
    }
}

void envoie(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton b, Qt::MouseButtons bs)
{
    QMouseEvent e(type, pos, w->mapToGlobal(pos), b, bs, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// One size in the product: "load click drag clear peak" on one line of `sortie`.
int une_taille(const std::string &chemin, FILE *sortie)
{
    KaluView v;
    QCustomPlot *plot = v.findChild<QCustomPlot *>("customPlot");
    taille_plot(v, plot);

    double t = maintenant();
    QMetaObject::invokeMethod(&v, "fscanshp_cpt", Q_ARG(string, chemin));
    plot->rescaleAxes(false);
    v.adjustEqualScale();
    plot->replot();
    QApplication::processEvents();
    const double charge = maintenant() - t;

    // A click on a point of a curve in the middle of the map, away from the
    // axes, which would take the click first.
    // The map fills rows of 3600 parts: the middle of the middle row.
    const int n = plot->plottableCount();
    QCPCurve *c = qobject_cast<QCPCurve *>(plot->plottable(n < 3600 ? n / 2 : n / 2 + 1800));
    const QPoint sur(qRound(plot->xAxis->coordToPixel(c->data()->begin()->key)),
                     qRound(plot->yAxis->coordToPixel(c->data()->begin()->value)));
    t = maintenant();
    envoie(plot, QEvent::MouseButtonPress, sur, Qt::LeftButton, Qt::LeftButton);
    envoie(plot, QEvent::MouseButtonRelease, sur, Qt::LeftButton, Qt::NoButton);
    QApplication::processEvents();
    const double clic = maintenant() - t;
    if (plot->selectedPlottables().isEmpty())
        fprintf(stderr, "the click selected no curve\n");

    // A drag of 40 pixels from the middle, one move.
    const QPoint milieu = plot->axisRect()->center(), fin = milieu + QPoint(40, 20);
    t = maintenant();
    envoie(plot, QEvent::MouseButtonPress, milieu, Qt::LeftButton, Qt::LeftButton);
    envoie(plot, QEvent::MouseMove, fin, Qt::NoButton, Qt::LeftButton);
    QApplication::processEvents();
    envoie(plot, QEvent::MouseButtonRelease, fin, Qt::LeftButton, Qt::NoButton);
    QApplication::processEvents();
    const double glisse = maintenant() - t;

    t = maintenant();
    QMetaObject::invokeMethod(&v, "removeAllGraphs");
    QApplication::processEvents();
    const double vide = maintenant() - t;

    fprintf(sortie, "%.3f %.3f %.3f %.3f %.0f\n", charge, clic, glisse, vide, pic_mo());
    return 0;
}

// The reference: a plain plot whose curves go to the legend the library's
// way, then the same rescale and replot. Its clearing would take minutes:
// the process ends without it.
int reference(const std::string &chemin, FILE *sortie)
{
    QCustomPlot plot;
    taille_plot(plot, &plot);
    double t = maintenant();
    int n = 0;
    ShpData *d = fscan_shp(chemin.c_str(), n);
    for (int r = 0; r < n; ++r)
        for (int p = 0; p < d->partn[r]; ++p) {
            QVector<QCPCurveData> points(d->pointn[r][p]);
            for (int k = 0; k < points.size(); ++k)
                points[k] = QCPCurveData(k, d->x[r][p][k], d->y[r][p][k]);
            QCPCurve *c = new QCPCurve(plot.xAxis, plot.yAxis);
            c->data()->set(points, true);
            c->setPen(QPen(QColor(0, 204, 0)));
            c->setBrush(QBrush(QColor(0, 204, 0, 85)));
            c->setName(QString("shp[%1][%2]").arg(r).arg(p));
        }
    deleteshp(d, n);
    plot.legend->setVisible(false);
    plot.rescaleAxes(true);
    plot.replot();
    QApplication::processEvents();
    fprintf(sortie, "%.3f\n", maintenant() - t);
    fflush(sortie);
    _exit(0);
}

// Runs this program on one size in a child process; reads its line.
bool enfant(const char *moi, const char *mode, long parts, const std::string &dossier, char *ligne,
            int n)
{
    const std::string commande = std::string("'") + moi + "' " + mode + " " +
                                 std::to_string(parts) + " '" + dossier + "'";
    FILE *p = popen(commande.c_str(), "r");
    if (!p)
        return false;
    bool ok = fgets(ligne, n, p) != nullptr;
    return pclose(p) == 0 && ok;
}

} // namespace

int main(int argc, char **argv)
{
    const char *tmp = getenv("TMPDIR");
    if (argc == 4 && (strcmp(argv[1], "--une") == 0 || strcmp(argv[1], "--reference") == 0)) {
        // A child: the loader's trace lines go nowhere, the result to the
        // parent through the original standard output.
        FILE *sortie = fdopen(dup(1), "w");
        if (!freopen("/dev/null", "w", stdout))
            return 1;
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        QApplication app(argc, argv);
        const std::string chemin = fichier(argv[3], atol(argv[2]));
        int r = argv[1][2] == 'u' ? une_taille(chemin, sortie) : reference(chemin, sortie);
        fclose(sortie);
        return r;
    }
    std::string dossier = tmp ? tmp : "/tmp";
    bool avec_reference = true;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--sans-reference") == 0)
            avec_reference = false;
        else
            dossier = argv[i];
    }

    printf("| parts (x 20 points) | file MB | load + paint s | click s | drag s | clear s "
           "| peak MB | memory limit MB |\n|---|---|---|---|---|---|---|---|\n");
    double charge50k = 0;
    for (long parts : {1000L, 10000L, 50000L, 100000L}) {
        fichier(dossier, parts);
        char ligne[256];
        if (!enfant(argv[0], "--une", parts, dossier, ligne, sizeof ligne)) {
            fprintf(stderr, "the run of %ld parts failed\n", parts);
            return 1;
        }
        double charge, clic, glisse, vide, pic;
        if (sscanf(ligne, "%lf %lf %lf %lf %lf", &charge, &clic, &glisse, &vide, &pic) != 5)
            return 1;
        const double mo = genshp::taille(parts, 1, POINTS) / 1e6;
        const double courbes = parts * POINTS * sizeof(QCPCurveData) / 1e6;
        printf("| %ld | %.1f | %.3f | %.3f | %.3f | %.3f | %.0f | %.0f |\n", parts, mo, charge, clic,
               glisse, vide, pic, 2 * (mo + courbes) + 150);
        fflush(stdout);
        if (parts == 50000)
            charge50k = charge;
    }
    if (avec_reference) {
        char ligne[64];
        if (!enfant(argv[0], "--reference", 50000, dossier, ligne, sizeof ligne))
            return 1;
        const double ref = atof(ligne);
        printf("\n50,000 parts with the library's default legend handling: load + paint %.1f s, "
               "%.0f x the viewer's\n",
               ref, ref / charge50k);
    }
    return 0;
}
