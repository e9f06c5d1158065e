// SPDX-License-Identifier: GPL-3.0-or-later
//
// The viewer on big maps: a real KaluView, offscreen, plot of 800 x 600
// pixels, loading generated Polygon files of 1k to 1M one-part records of 20
// points the way Explorer does, then a selecting click, a drag of 20 moves,
// 10 wheel notches, and the clearing of "Remove all shapes". Each size runs
// in a process of its own, so that its peak memory is its own, once with the
// map's pictures and index and once without them (every replot draws every
// curve through its layer, as the plotting library does).
//
// In the same run: the floor, a plain QPainter drawing of the same parts on
// an 800 x 600 picture (filled, outlined, antialiased), and kalu-export as a
// whole process on the same files.
//
// Usage: kalu_bench_viewer [DIRECTORY] [--max PARTS]
//   DIRECTORY  where the generated files are kept (default $TMPDIR or /tmp).
//   --max      the largest size to run (default 1000000).
#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "genshp.h"
#include "kalucarte.h"
#include "kaluview.h"

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

double mediane(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
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

void souris(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton b, Qt::MouseButtons bs)
{
    QMouseEvent e(type, pos, w->mapToGlobal(pos), b, bs, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void molette(QWidget *w, QPoint pos, int cran)
{
    QWheelEvent e(pos, w->mapToGlobal(pos), QPoint(), QPoint(0, cran), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

// Seconds taken by `geste` and the events it leaves (replot and paint).
template <class F> double duree(F geste)
{
    const double t = maintenant();
    geste();
    QApplication::processEvents();
    return maintenant() - t;
}

// The floor: the parts of the plot's curves drawn with QPainter alone, at
// the plot's view, on a picture the size of the plot.
double plancher(QCustomPlot *plot)
{
    QImage image(plot->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const double t = maintenant();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 204, 0)));
    p.setBrush(QBrush(QColor(0, 204, 0, 85)));
    QPolygonF anneau;
    for (int i = 0; i < plot->plottableCount(); ++i) {
        const QCPCurve *c = static_cast<QCPCurve *>(plot->plottable(i));
        anneau.clear();
        for (const QCPCurveData &d : *c->data())
            anneau << QPointF(plot->xAxis->coordToPixel(d.key), plot->yAxis->coordToPixel(d.value));
        p.drawPolygon(anneau);
    }
    p.end();
    return maintenant() - t;
}

// One size in one process: the figures on one line of `sortie`.
int une_taille(const std::string &chemin, bool rapide, FILE *sortie)
{
    Carte::setRapide(rapide);
    KaluView v;
    QCustomPlot *plot = v.findChild<QCustomPlot *>("customPlot");
    taille_plot(v, plot);
    Carte *carte = Carte::de(plot);

    const double charge = duree([&] { v.chargeShapefiles({QString::fromStdString(chemin)}); });
    const double plancher_s = plancher(plot);

    // A click on a point of a curve in the middle of the map, away from the
    // axes. The map fills rows of 3600 parts: the middle of the middle row.
    const int n = plot->plottableCount();
    QCPCurve *c = qobject_cast<QCPCurve *>(plot->plottable(n < 3600 ? n / 2 : n / 2 + 1800));
    const QPoint sur(qRound(plot->xAxis->coordToPixel(c->data()->begin()->key)),
                     qRound(plot->yAxis->coordToPixel(c->data()->begin()->value)));
    const double clic = duree([&] {
        souris(plot, QEvent::MouseButtonPress, sur, Qt::LeftButton, Qt::LeftButton);
        souris(plot, QEvent::MouseButtonRelease, sur, Qt::LeftButton, Qt::NoButton);
    });
    if (plot->selectedPlottables().isEmpty())
        fprintf(stderr, "the click selected no curve\n");

    // A drag of 20 moves of 4 pixels from the middle.
    const QPoint milieu = plot->xAxis->axisRect()->center();
    const Carte::Compteurs avant = carte->compteurs();
    std::vector<double> images;
    QPoint pos = milieu;
    souris(plot, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
    for (int k = 0; k < 20; ++k) {
        pos += QPoint(4, 2);
        images.push_back(duree([&] { souris(plot, QEvent::MouseMove, pos, Qt::NoButton, Qt::LeftButton); }));
    }
    const double glisse_fin =
        duree([&] { souris(plot, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton); });
    const int complets_glisse = carte->compteurs().complets - avant.complets;

    // 10 wheel notches, then the pause that ends the burst.
    std::vector<double> crans;
    for (int k = 0; k < 10; ++k)
        crans.push_back(duree([&] { molette(plot, milieu, k < 5 ? 120 : -120); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(Carte::PAUSE_MOLETTE + 20));
    const double molette_fin = duree([] {});

    const double vide = duree([&] { QMetaObject::invokeMethod(&v, "removeAllGraphs"); });
    fprintf(sortie, "%.4f %.4f %.4f %.4f %.4f %.4f %.4f %.4f %.0f %d\n", charge, plancher_s, clic,
            mediane(images), glisse_fin, mediane(crans), molette_fin, vide, pic_mo(),
            complets_glisse);
    return 0;
}

// Runs `argv` and waits for it: false when it fails. `secondes` and `mo`
// get its time and peak memory.
bool processus(const std::vector<std::string> &args, double &secondes, double &mo)
{
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    fflush(nullptr); // the child would write the parent's pending output again
    const double t = maintenant();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout))
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int statut = 0;
    struct rusage u;
    if (pid < 0 || wait4(pid, &statut, 0, &u) != pid)
        return false;
    secondes = maintenant() - t;
    mo = u.ru_maxrss / 1024.0;
    return WIFEXITED(statut) && WEXITSTATUS(statut) == 0;
}

struct Ligne {
    double charge, plancher, clic, image, glisse, cran, molette, vide, pic;
    int complets;
};

bool enfant(const char *moi, long parts, const std::string &dossier, bool rapide, Ligne &l)
{
    const std::string commande = std::string("'") + moi + "' --une " + std::to_string(parts) +
                                 " '" + dossier + "'" + (rapide ? "" : " --ancien");
    FILE *p = popen(commande.c_str(), "r");
    if (!p)
        return false;
    char ligne[512];
    bool ok = fgets(ligne, sizeof ligne, p) != nullptr;
    ok = pclose(p) == 0 && ok;
    return ok && sscanf(ligne, "%lf %lf %lf %lf %lf %lf %lf %lf %lf %d", &l.charge, &l.plancher,
                        &l.clic, &l.image, &l.glisse, &l.cran, &l.molette, &l.vide, &l.pic,
                        &l.complets) == 10;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 4 && strcmp(argv[1], "--une") == 0) {
        // A child: the loader's trace lines go nowhere, the result to the
        // parent through the original standard output.
        FILE *sortie = fdopen(dup(1), "w");
        if (!freopen("/dev/null", "w", stdout))
            return 1;
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        QApplication app(argc, argv);
        const std::string chemin = fichier(argv[3], atol(argv[2]));
        int r = une_taille(chemin, !(argc == 5 && strcmp(argv[4], "--ancien") == 0), sortie);
        fclose(sortie);
        return r;
    }
    const char *tmp = getenv("TMPDIR");
    std::string dossier = tmp ? tmp : "/tmp";
    long max = 1000000;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--max") == 0 && i + 1 < argc)
            max = atol(argv[++i]);
        else
            dossier = argv[i];
    }

    const long tailles[] = {1000, 10000, 100000, 300000, 1000000};
    printf("Viewer, plot 800 x 600, parts of 20 points; seconds, medians of the frames "
           "(old path: every replot draws every curve)\n\n");
    printf("| parts | load + paint s | drag frame ms | drag end s | wheel frame ms | wheel end s "
           "| click ms | clear s | peak MB | floor s | drag end / floor | old: drag frame ms "
           "| old: click ms | old: load s |\n|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    double charge100k = 0, charge1m = 0;
    for (long parts : tailles) {
        if (parts > max)
            break;
        fichier(dossier, parts);
        Ligne l, a;
        if (!enfant(argv[0], parts, dossier, true, l) || !enfant(argv[0], parts, dossier, false, a)) {
            fprintf(stderr, "the run of %ld parts failed\n", parts);
            return 1;
        }
        printf("| %ld | %.3f | %.1f | %.3f | %.1f | %.3f | %.1f | %.3f | %.0f | %.3f | %.2f | %.1f | "
               "%.1f | %.3f |\n",
               parts, l.charge, l.image * 1e3, l.glisse, l.cran * 1e3, l.molette, l.clic * 1e3,
               l.vide, l.pic, l.plancher, l.glisse / l.plancher, a.image * 1e3, a.clic * 1e3,
               a.charge);
        if (l.complets != 1)
            printf("(%ld parts: %d complete drawings during the drag, not 1)\n", parts, l.complets);
        fflush(stdout);
        if (parts == 100000)
            charge100k = l.charge;
        if (parts == 1000000)
            charge1m = l.charge;
    }
    if (charge100k > 0 && charge1m > 0)
        printf("\nload + paint, 1M / 100k parts: %.1f (linear: 10)\n", charge1m / charge100k);

    printf("\nkalu-export, 800 x 600 PNG, whole process\n\n| parts | s | peak MB |\n|---|---|---|\n");
    for (long parts : {100000L, 300000L, 1000000L}) {
        if (parts > max)
            break;
        double s = 0, mo = 0;
        const std::string png = dossier + "/kalu-bench-export.png";
        if (!processus({KALU_EXPORT, png, fichier(dossier, parts)}, s, mo)) {
            fprintf(stderr, "kalu-export on %ld parts failed\n", parts);
            return 1;
        }
        printf("| %ld | %.2f | %.0f |\n", parts, s, mo);
        fflush(stdout);
        unlink(png.c_str());
    }
    return 0;
}
