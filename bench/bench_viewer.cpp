// SPDX-License-Identifier: GPL-3.0-or-later
//
// The viewer on big maps: a real KaluView, offscreen, plot of 800 x 600
// pixels, loading generated files the way Explorer does, then a selecting
// click, "Remove selected shape", a drag of 20 moves, a burst of 5 wheel
// notches and "Remove all shapes", every event sent from a timer so that
// the event loop runs between them, as with a real pointer.
//
// What counts for the user is that the window never freezes and that the
// complete picture comes soon after the gesture. So a 2 ms heartbeat timer
// runs in the event loop: its longest gap during a gesture, until the
// complete picture of the gesture is on screen, is the longest stall the
// user can see. A load shows the map as it grows: the time to its first
// such picture is what the user waits before seeing anything of the map.
// The end of a gesture is the map's imageComplete signal with
// nothing more awaited (then the paint that shows it); a drawing that does
// not signal (a partial redraw, the old path) ends at its last paint, once
// the loop has been calm for longer than the wheel's pause.
//
// Each size runs in a process of its own, so that its peak memory is its
// own, at device pixel ratios 1 and 2 (QT_SCALE_FACTOR=2: the plot keeps
// 800 x 600 logical pixels, its pictures have 1600 x 1200). The smaller sizes
// run a second time without the map's pictures and index (every replot
// draws every curve through its layer, as the plotting library does).
//
// In the same run: the floor, a plain QPainter drawing of the same parts on
// a picture of the plot's device pixels (filled, outlined, antialiased), and
// kalu-export as a whole process on the same files.
//
// After the generated maps, the real-shaped ones that bench/reelles.py makes
// from packaged data (country outlines, shorelines, counties, a mix), at
// both ratios; on these the view change is timed with the map's job on 1
// thread, 2 threads and the default, in turns.
//
// Usage: kalu_bench_viewer [DIRECTORY] [--max PARTS] [--only WORD] [--reelles]
//   DIRECTORY  where the maps' files are kept (default $TMPDIR or /tmp).
//   --max      the largest number of parts to run (default 1000000).
//   --only     only the maps whose name contains WORD.
//   --reelles  only the real-shaped maps (and no kalu-export).
// For the peers' tables (bench_peers.py):
//   kalu_bench_viewer --fichiers DIRECTORY  makes the generated maps'
//       files, prints one line per map: name, shape type, parts, points
//       per part, path.
//   kalu_bench_viewer --charge FILE  loads FILE into the window, prints
//       the time from the call to the first picture showing part of the
//       map while it loads (-1: none did), to the complete picture on
//       screen, and the longest stall (s), then ends.
//   kalu_bench_viewer --charge FILE --apres SAMPLE  the same, FILE loaded
//       once the small map SAMPLE is (its legend shown), as a user who
//       opens a sample first; bench/apres.sh runs both beside each other.
//   kalu_bench_viewer --redessin FILE  the same, then the view changes
//       and floors of the main table with the default threads (s).
//   kalu_bench_viewer --redessin FILE --fils  the same, the view changes
//       also timed on 1 and 2 threads ("redessin_1", "redessin_2"), in
//       turns: one drawing thread against the floor. Under valgrind
//       (--tool=callgrind --collect-atstart=no --toggle-collect='Travail::boucle*'
//       --toggle-collect='*un_plancher*'), the instructions of each.
//   kalu_bench_viewer --vide FILE  loads FILE, then "Remove all shapes":
//       prints the longest stall from the removal to the complete picture
//       of the empty plot, that time, and the longest stall of the next
//       3 s, while the curves go in slices (s), then ends.
#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "genshp.h"
#include "kalucarte.h"
#include "kalusonde.h"
#include "kaluview.h"

#include <QEventLoop>

// A load as the Explorer starts it, waited for.
static void chargeEtAttends(KaluView &v, const std::string &chemin)
{
    QEventLoop attente;
    QObject::connect(&v, &KaluView::chargementFini, &attente, &QEventLoop::quit);
    v.chargeShapefiles({QString::fromStdString(chemin)});
    if (v.chargeEnCours())
        attente.exec();
}

namespace
{

// The maps: generated files of one-part records. The polygons of 20 points
// keep apart; the others overlap their neighbours.
struct Plan {
    const char *nom;
    int type;
    long parts;
    int points;
    genshp::Disposition d;
};

const Plan PLANS[] = {
    {"polygons", 5, 1000, 20, {}},
    {"polygons", 5, 10000, 20, {}},
    {"polygons", 5, 100000, 20, {}},
    {"polygons", 5, 1000000, 20, {}},
    {"rings", 5, 50000, 200, {250, 0.1, 0.07}},
    {"rings", 5, 100, 100000, {10, 0.1, 0.09}},
    {"lines", 3, 200000, 50, {500, 0.1, 0.12}},
};
const int NPLANS = int(sizeof PLANS / sizeof PLANS[0]);

// Above this, the old path (a full drawing per frame) takes minutes.
const long ANCIEN_MAX = 10000;
// Above this, the ratio-2 run is left out, to keep the whole run under 25
// minutes (estimated at about 10 with every map today).
const long RATIO2_MAX = 1000000;
// Beyond this the wait for a complete picture counts as a failure.
const double LIMITE_S = 60;
// A drawing that does not signal has ended once the loop has been calm for
// this long after its last paint: longer than the wheel's pause.
const double CALME_S = (Carte::PAUSE_MOLETTE + 250) / 1000.0;

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

// The process's resident memory now, MB: what the allocator holds, unlike
// the peak.
double rss_mo()
{
    FILE *f = fopen("/proc/self/status", "r");
    char ligne[256];
    double ko = -1;
    while (f && fgets(ligne, sizeof ligne, f))
        if (strncmp(ligne, "VmRSS:", 6) == 0)
            ko = atof(ligne + 6);
    if (f)
        fclose(f);
    return ko / 1024;
}

double mediane(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::string fichier(const std::string &dossier, const Plan &p)
{
    // The default layout keeps the name files had before layouts existed.
    const bool defaut = p.d.colonnes == 3600 && p.d.rayon == 0.04 && p.points == 20 && p.type == 5;
    char nom[160];
    if (defaut)
        snprintf(nom, sizeof nom, "/kalu-bench-vue-%ld.shp", p.parts);
    else
        snprintf(nom, sizeof nom, "/kalu-bench-vue-%d-%ldx%d-c%d-r%g.shp", p.type, p.parts,
                 p.points, p.d.colonnes, p.d.rayon);
    const std::string chemin = dossier + nom;
    if (!genshp::present(chemin, p.type, p.parts, 1, p.points, p.d) &&
        !genshp::ecrit(chemin, p.type, p.parts, 1, p.points, p.d)) {
        fprintf(stderr, "can't write '%s'\n", chemin.c_str());
        exit(1);
    }
    return chemin;
}

// The one place that switches the map's jobs, pictures and index.
void regleRapide(Carte *carte, bool oui)
{
    Sonde(carte).setRapide(oui);
}

// Sizes the widget until the plot is 800 x 600 (logical pixels).
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
    QWheelEvent e(pos, w->mapToGlobal(pos), QPoint(), QPoint(0, cran), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

// The floor: the parts of the plot's curves drawn with QPainter alone, with
// their pens and brushes, at the plot's view, on a picture of the plot's
// device pixels.
double un_plancher(QCustomPlot *plot)
{
    const qreal ratio = plot->devicePixelRatioF();
    QImage image(plot->size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    const double t = maintenant();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPolygonF anneau;
    for (int i = 0; i < plot->plottableCount(); ++i) {
        const QCPCurve *c = static_cast<QCPCurve *>(plot->plottable(i));
        anneau.clear();
        for (const QCPCurveData &d : *c->data())
            anneau << QPointF(plot->xAxis->coordToPixel(d.key), plot->yAxis->coordToPixel(d.value));
        // A pen of width 1 is stroked one device pixel wide, as the plotting
        // library strokes it on a raster picture.
        QPen trait = c->pen();
        if (trait.widthF() == 1)
            trait.setWidth(0);
        p.setPen(trait);
        if (c->brush().style() == Qt::NoBrush) {
            p.drawPolyline(anneau);
        } else {
            p.setBrush(c->brush());
            p.drawPolygon(anneau);
        }
    }
    p.end();
    return maintenant() - t;
}

// Qt's offscreen platform says so at every start: it would only break the
// tables.
void filtre(QtMsgType type, const QMessageLogContext &contexte, const QString &message)
{
    if (message.contains(QLatin1String("propagateSizeHints")) ||
        message.contains(QLatin1String("XDG_RUNTIME_DIR")))
        return;
    fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, contexte, message)));
}

// What the event loop lives through: the heartbeat's gaps, the plot's
// paints and the map's signals.
class Banc : public QObject
{
  public:
    Banc(QCustomPlot *plot, Carte *carte) : plot(plot), carte(carte)
    {
        connect(carte, &Carte::imageComplete, this, [this] {
            ++signaux;
            tSignal = maintenant();
        });
        // Connected after the map's own slot: its counters already count
        // the picture this replot made.
        connect(plot, &QCustomPlot::afterReplot, this, [this] {
            if (tEbauche < 0 && Sonde(this->carte).compteurs().ebauches > ebauches)
                tEbauche = maintenant();
            if (Sonde(this->carte).compteurs().ebauches > ebauches)
                parts.emplace_back(maintenant(), Sonde(this->carte).courbesEbauchees());
        });
        // A replot may paint before it ends (an immediate refresh).
        connect(plot, &QCustomPlot::beforeReplot, this,
                [this] { replots.push_back(maintenant()); });
        plot->installEventFilter(this);
        pouls.setTimerType(Qt::PreciseTimer);
        pouls.setInterval(2);
        connect(&pouls, &QTimer::timeout, this, [this] {
            const double t = maintenant();
            pire = std::max(pire, t - battu);
            battu = t;
        });
        pouls.start();
    }

    // A gesture: `etapes` run from a timer `ms` apart, the first at once;
    // the last ends the gesture. Returns with the complete picture shown.
    struct Geste {
        double pire = 0; // longest stall, s
        double fin = 0;  // from the gesture's end to the complete picture, s
        // From the call to the end of the first replot that showed part of
        // a load under way (mesure only), s; -1 if none did.
        double premiere = -1;
        bool signal = false, ok = false;
        std::vector<double> envois; // when each step ran
    };
    Geste joue(const std::vector<std::function<void()>> &etapes, int ms)
    {
        Geste g;
        size_t suivante = 0;
        QTimer horloge;
        horloge.setTimerType(Qt::PreciseTimer);
        horloge.setInterval(ms);
        auto pas = [&] {
            if (suivante == etapes.size())
                return;
            if (suivante + 1 == etapes.size())
                marqueFin();
            g.envois.push_back(maintenant());
            etapes[suivante++]();
            if (suivante == etapes.size())
                horloge.stop();
        };
        connect(&horloge, &QTimer::timeout, this, pas);
        pire = 0;
        battu = maintenant();
        QTimer::singleShot(0, &horloge, pas);
        horloge.start();
        while (suivante < etapes.size())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        attend(g);
        g.pire = std::max(pire, maintenant() - battu);
        return g;
    }

    // A drawing started outside the loop (the load, a view change): its
    // time to the complete picture, and the longest stall from the call on.
    // A load may run the event loop itself and show the pictures of the
    // states it goes through: once it returns and its replot is under way,
    // only the picture of the state it leaves counts.
    Geste mesure(const std::function<void()> &travail)
    {
        Geste g;
        marqueFin();
        pire = 0;
        battu = maintenant();
        ebauches = Sonde(carte).compteurs().ebauches;
        tEbauche = -1;
        travail();
        QCoreApplication::processEvents();
        if (carte->attendImage())
            signaux = 0;
        attend(g);
        g.pire = std::max(pire, maintenant() - battu);
        if (tEbauche >= 0)
            g.premiere = tEbauche - tFin;
        return g;
    }

    // Runs the event loop for `secondes`: the longest stall in that time.
    double veille(double secondes)
    {
        const double fin = maintenant() + secondes;
        pire = 0;
        battu = maintenant();
        while (maintenant() < fin)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return std::max(pire, maintenant() - battu);
    }

    // For each of `envois`, the time to the end of the first paint after it.
    std::vector<double> images(const std::vector<double> &envois) const
    {
        std::vector<double> d;
        for (double e : envois) {
            auto p = std::upper_bound(peintures.begin(), peintures.end(), e);
            if (p != peintures.end())
                d.push_back(*p - e);
        }
        return d;
    }

    // From the last measure's call to the end of the first paint showing a
    // picture of the load that holds `total` parts, s; -1 if none did. The
    // load's pictures may hold parts whose curves are still to be made.
    double entiere(size_t total) const
    {
        for (const auto &r : parts)
            if (r.second >= total && r.first >= tFin) {
                auto p = std::lower_bound(peintures.begin(), peintures.end(), r.first);
                return p == peintures.end() ? -1 : *p - tFin;
            }
        return -1;
    }

    // From `t` to the end of the paint that shows the first replot begun
    // after it, s; -1 if none came.
    double premiereImage(double t) const
    {
        auto r = std::upper_bound(replots.begin(), replots.end(), t);
        if (r == replots.end())
            return -1;
        auto p = std::lower_bound(peintures.begin(), peintures.end(), *r);
        return p == peintures.end() ? -1 : *p - t;
    }

  protected:
    // The end of each of the plot's paints: the picture is then on screen.
    bool eventFilter(QObject *objet, QEvent *event) override
    {
        if (objet != plot || event->type() != QEvent::Paint)
            return false;
        static_cast<QObject *>(plot)->event(event);
        peintures.push_back(maintenant());
        return true;
    }

  private:
    void marqueFin()
    {
        tFin = maintenant();
        signaux = 0;
    }

    double dernierePeinture() const { return peintures.empty() ? 0 : peintures.back(); }

    // Runs the event loop until the complete picture of the state the
    // gesture left is on screen.
    void attend(Geste &g)
    {
        for (;;) {
            const double t = maintenant();
            if (!carte->attendImage()) {
                if (signaux > 0) {
                    // The paint that follows the signal shows it.
                    if (dernierePeinture() >= tSignal || t - tSignal > 0.1) {
                        g.fin = std::max(dernierePeinture(), tSignal) - tFin;
                        g.signal = g.ok = true;
                        return;
                    }
                } else if (t - std::max(tFin, dernierePeinture()) > CALME_S) {
                    g.fin = std::max(0.0, dernierePeinture() - tFin);
                    g.ok = true;
                    return;
                }
            }
            if (t - tFin > LIMITE_S)
                return;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }

    QCustomPlot *plot;
    Carte *carte;
    QTimer pouls;
    double battu = 0, pire = 0;
    double tFin = 0, tSignal = 0;
    int signaux = 0;
    std::vector<std::pair<double, size_t>> parts; // each load's picture: when, how many parts
    // The map's pictures of a load under way before the measure, and when
    // the first one after it was made.
    int ebauches = 0;
    double tEbauche = -1;
    std::vector<double> peintures, replots;
};

// The thread counts a view change is timed with: the default alone, or
// also 1 and 2.
std::vector<int> lesFils(bool parFils)
{
    const int defaut = Travail::filsParDefaut();
    std::vector<int> n = {defaut};
    if (parFils) {
        for (int f : {1, 2})
            if (f != defaut)
                n.push_back(f);
    }
    return n;
}

// A view change (1 % pan) until its complete picture is on screen, against
// the floor, taken in turns, the best of three of each, the thread counts
// in turns too: the machine's noise then weighs on all alike. Writes
// "plancher", "redessin" (default threads), "fils" (their number) and, by
// threads, "redessin_N".
void vues(QCustomPlot *plot, Carte *carte, Banc &banc, bool parFils,
          const std::function<void(const char *, double)> &ecrit)
{
    const std::vector<int> fils = lesFils(parFils);
    std::vector<double> meilleur(fils.size(), 1e9);
    double sol = 1e9;
    int sens = 0;
    for (int k = 0; k < 3; ++k) {
        sol = std::min(sol, un_plancher(plot));
        for (size_t j = 0; j < fils.size(); ++j) {
            const size_t i = (k + j) % fils.size();
            Sonde(carte).setFils(fils[i]);
            const double pas = plot->xAxis->range().size() * (sens++ % 2 ? -0.01 : 0.01);
            const Banc::Geste g = banc.mesure([&] {
                plot->xAxis->moveRange(pas);
                plot->replot();
            });
            meilleur[i] = std::min(meilleur[i], g.ok ? g.fin : 1e9);
        }
    }
    Sonde(carte).setFils(fils[0]);
    ecrit("plancher", sol);
    ecrit("redessin", meilleur[0]);
    ecrit("fils", fils[0]);
    for (size_t i = 0; i < fils.size(); ++i)
        ecrit(("redessin_" + std::to_string(fils[i])).c_str(), meilleur[i]);
}

// A click at `sur`, or the action `geste`, until its complete picture: the
// time from its last event to the first picture showing the new
// selection (the stand-in, or the exact picture if it came at once), to
// the exact picture, and the partial job's own time (0: none drew it).
struct Changement {
    double montre = -1, exact = -1, retouche = 0;
    bool ok = false;
};
Changement change(Banc &banc, Carte *carte, const std::function<void()> &geste)
{
    const Carte::Compteurs avant = Sonde(carte).compteurs();
    const Banc::Geste g = banc.joue({geste}, 10);
    Changement c;
    c.ok = g.ok && g.signal;
    c.montre = banc.premiereImage(g.envois.back());
    c.exact = g.fin;
    if (Sonde(carte).compteurs().retouches > avant.retouches)
        c.retouche = Sonde(carte).compteurs().dureeRetouche;
    return c;
}

void clique(QCustomPlot *plot, QPoint sur)
{
    souris(plot, QEvent::MouseButtonPress, sur, Qt::LeftButton, Qt::LeftButton);
    souris(plot, QEvent::MouseButtonRelease, sur, Qt::LeftButton, Qt::NoButton);
}

// A pixel where a click selects `c`, among those of its box inside it:
// the map elects the topmost ring there, tried by clicks. (-1, -1) if none.
QPoint dedans(Banc &banc, QCustomPlot *plot, Carte *carte, Courbe *c)
{
    QCPAxis *x = plot->xAxis, *y = plot->yAxis;
    const QRectF b = QRectF(QPointF(x->coordToPixel(c->boiteCles().lower),
                                    y->coordToPixel(c->boiteValeurs().upper)),
                            QPointF(x->coordToPixel(c->boiteCles().upper),
                                    y->coordToPixel(c->boiteValeurs().lower)))
                         .intersected(QRectF(x->axisRect()->rect()).adjusted(5, 5, -5, -5));
    int essais = 0;
    for (int j = 1; j < 8; ++j)
        for (int i = 1; i < 8; ++i) {
            const QPoint pos(int(b.left() + b.width() * i / 8), int(b.top() + b.height() * j / 8));
            if (c->mesure(pos, false, nullptr) != 0 || ++essais > 4)
                continue;
            change(banc, carte, [&] { clique(plot, pos); });
            if (plot->selectedPlottables() == QList<QCPAbstractPlottable *>{c})
                return pos;
        }
    return QPoint(-1, -1);
}

// The selection moved between the two biggest rings that a click can
// select, both ways, then the one selected removed: the worst of each
// figure as "choix_*" and "retireGrand_*", with the points of the rings.
void deplacements(QCustomPlot *plot, Carte *carte, Banc &banc, KaluView &v,
                  const std::function<void(const char *, double)> &ecrit)
{
    std::vector<Courbe *> grandes;
    for (int i = 0; i < plot->plottableCount(); ++i)
        grandes.push_back(static_cast<Courbe *>(plot->plottable(i)));
    std::sort(grandes.begin(), grandes.end(),
              [](Courbe *a, Courbe *b) { return a->dataCount() > b->dataCount(); });
    std::vector<std::pair<Courbe *, QPoint>> anneaux;
    for (size_t k = 0; k < grandes.size() && k < 8 && anneaux.size() < 2; ++k) {
        const QPoint pos = dedans(banc, plot, carte, grandes[k]);
        if (pos.x() >= 0)
            anneaux.push_back({grandes[k], pos});
    }
    if (anneaux.size() < 2)
        return;
    change(banc, carte, [&] { clique(plot, anneaux[0].second); });
    Changement pire;
    pire.ok = true;
    for (int k : {1, 0}) {
        const Changement c = change(banc, carte, [&] { clique(plot, anneaux[size_t(k)].second); });
        pire.ok =
            pire.ok && c.ok &&
            plot->selectedPlottables() == QList<QCPAbstractPlottable *>{anneaux[size_t(k)].first};
        pire.montre = std::max(pire.montre, c.montre);
        pire.exact = std::max(pire.exact, c.exact);
        pire.retouche = std::max(pire.retouche, c.retouche);
    }
    ecrit("choix_a", anneaux[0].first->dataCount());
    ecrit("choix_b", anneaux[1].first->dataCount());
    ecrit("choix_montre", pire.montre);
    ecrit("choix_exact", pire.exact);
    ecrit("choix_retouche", pire.retouche);
    ecrit("choix_ok", pire.ok);
    const Changement r =
        change(banc, carte, [&] { QMetaObject::invokeMethod(&v, "removeSelectedGraph"); });
    ecrit("retireGrand_montre", r.montre);
    ecrit("retireGrand_exact", r.exact);
    ecrit("retireGrand_retouche", r.retouche);
    ecrit("retireGrand_ok", r.ok);
}

// The resident memory once "Remove all shapes" is over, MB: the curves go
// in slices from the event loop and their scenes are freed on a thread, so
// the loop runs until the plot is empty, then a second more (the banc's
// heartbeat keeps the loop waking).
double rss_apres_vide(QCustomPlot *plot)
{
    const double debut = maintenant();
    while (plot->plottableCount() > 0 && maintenant() - debut < LIMITE_S)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double fin = maintenant() + 1;
    while (maintenant() < fin)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return plot->plottableCount() > 0 ? -1 : rss_mo();
}

// The user during a load, from its first picture with curves on: a wheel
// notch (until a picture shows the new view), then a drag of 20 moves 10 ms
// apart, the load going on; and, in a second load, a stop (the window's
// Escape). Gives the wheel's time to its picture, the longest stall of the
// load with its gestures, the load's time, and the stop's time to the
// load's end with the curves made after it.
void pendant_charge(KaluView &v, QCustomPlot *plot, Carte *carte, Banc &banc,
                    const std::string &chemin,
                    const std::function<void(const char *, double)> &ecrit)
{
    double tMolette = -1, molette_vue = -1;
    QCPRange avant;
    bool commence = false, arret = false;
    QPoint pos = plot->xAxis->axisRect()->center();
    QTimer pas;
    int etape = 0;
    QObject::connect(&pas, &QTimer::timeout, [&] {
        if (!v.chargeEnCours() || etape > 21) {
            if (etape <= 21 && etape > 0)
                souris(plot, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
            pas.stop();
            return;
        }
        if (etape == 0)
            souris(plot, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
        else if (etape == 21)
            souris(plot, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
        else
            souris(plot, QEvent::MouseMove, pos += QPoint(4, 2), Qt::NoButton, Qt::LeftButton);
        ++etape;
    });
    size_t aLArret = 0;
    double tArret = -1;
    const QMetaObject::Connection suit = QObject::connect(plot, &QCustomPlot::afterReplot, [&] {
        if (tMolette >= 0 && molette_vue < 0 && plot->xAxis->range() != avant)
            molette_vue = maintenant() - tMolette;
        if (commence || !v.chargeEnCours() || Sonde(carte).courbesEbauchees() == 0)
            return;
        commence = true;
        QTimer::singleShot(0, [&] {
            if (arret) {
                aLArret = carte->rangSuivant();
                tArret = maintenant();
                v.arreteChargement();
                return;
            }
            avant = plot->xAxis->range();
            tMolette = maintenant();
            molette(plot, plot->xAxis->axisRect()->center(), 120);
            pas.start(10);
        });
    });
    const Banc::Geste g = banc.mesure([&] { chargeEtAttends(v, chemin); });
    ecrit("pendant_molette", molette_vue);
    ecrit("pendant_pire", g.pire);
    ecrit("pendant_fin", g.fin);
    commence = false;
    arret = true;
    double fini = -1;
    const QMetaObject::Connection fin =
        QObject::connect(&v, &KaluView::chargementFini, [&] { fini = maintenant(); });
    chargeEtAttends(v, chemin);
    QObject::disconnect(fin);
    QObject::disconnect(suit);
    ecrit("arret", tArret >= 0 ? fini - tArret : -1);
    ecrit("arret_apres", double(carte->rangSuivant()) - double(aLArret));
}

// One map in one process: its figures as "key=value" words on one line of
// `sortie`. `parFils`: the view change is also timed with 1 and 2 threads.
int une_carte(const std::string &chemin, bool rapide, bool parFils, FILE *sortie)
{
    KaluView v;
    QCustomPlot *plot = v.findChild<QCustomPlot *>("customPlot");
    taille_plot(v, plot);
    Carte *carte = Carte::de(plot);
    regleRapide(carte, rapide);
    Banc banc(plot, carte);
    std::ostringstream o;
    auto ecrit = [&](const char *cle, double valeur) { o << cle << '=' << valeur << ' '; };
    auto geste = [&](const char *nom, const Banc::Geste &g) {
        const std::string n(nom);
        ecrit((n + "_pire").c_str(), g.pire);
        ecrit((n + "_fin").c_str(), g.fin);
        ecrit((n + "_signal").c_str(), g.signal);
        ecrit((n + "_ok").c_str(), g.ok);
    };
    ecrit("ratio", plot->devicePixelRatioF());
    ecrit("tampon", plot->bufferDevicePixelRatio());
    ecrit("largeur", plot->width());

    const Banc::Geste charge = banc.mesure([&] { chargeEtAttends(v, chemin); });
    geste("charge", charge);
    ecrit("charge_premiere", charge.premiere);
    ecrit("rss_charge", rss_mo());

    vues(plot, carte, banc, parFils, ecrit);

    // A click on the first point of the curve nearest the middle of the
    // map, away from the axes.
    const QPointF milieu = plot->xAxis->axisRect()->center();
    const QPointF m(plot->xAxis->pixelToCoord(milieu.x()), plot->yAxis->pixelToCoord(milieu.y()));
    QCPCurve *choix = nullptr;
    double loin = 1e300;
    for (int i = 0; i < plot->plottableCount(); ++i) {
        Courbe *c = static_cast<Courbe *>(plot->plottable(i));
        const double dx = c->boiteCles().center() - m.x(), dy = c->boiteValeurs().center() - m.y();
        if (dx * dx + dy * dy < loin) {
            loin = dx * dx + dy * dy;
            choix = c;
        }
    }
    const QPoint sur(qRound(plot->xAxis->coordToPixel(choix->data()->begin()->key)),
                     qRound(plot->yAxis->coordToPixel(choix->data()->begin()->value)));
    auto clic = [&] {
        return banc.joue(
            {[&] { souris(plot, QEvent::MouseButtonPress, sur, Qt::LeftButton, Qt::LeftButton); },
             [&] { souris(plot, QEvent::MouseButtonRelease, sur, Qt::LeftButton, Qt::NoButton); }},
            10);
    };
    geste("clic", clic());
    const bool choisie = !plot->selectedPlottables().isEmpty();
    ecrit("choisie", choisie);

    // "Remove selected shape", as the context menu's action calls it.
    const int avant = plot->plottableCount();
    geste("retire", banc.joue({[&] { QMetaObject::invokeMethod(&v, "removeSelectedGraph"); }}, 10));
    ecrit("retiree", avant - plot->plottableCount());
    ecrit("complet_duree", Sonde(carte).compteurs().dureeComplet);
    if (parFils)
        deplacements(plot, carte, banc, v, ecrit);

    // A drag of 20 moves of 4 x 2 pixels from the middle, 10 ms apart.
    const Carte::Compteurs compte = Sonde(carte).compteurs();
    QPoint pos = milieu.toPoint();
    std::vector<std::function<void()>> glisse;
    glisse.push_back(
        [&] { souris(plot, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton); });
    for (int k = 0; k < 20; ++k)
        glisse.push_back([&] {
            pos += QPoint(4, 2);
            souris(plot, QEvent::MouseMove, pos, Qt::NoButton, Qt::LeftButton);
        });
    glisse.push_back(
        [&] { souris(plot, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton); });
    const Banc::Geste g = banc.joue(glisse, 10);
    geste("glisse", g);
    const std::vector<double> images =
        banc.images(std::vector<double>(g.envois.begin() + 1, g.envois.end() - 1));
    ecrit("image_max", images.empty() ? 0 : *std::max_element(images.begin(), images.end()));
    ecrit("image_med", mediane(images));
    ecrit("images", double(images.size()));
    ecrit("complets", Sonde(carte).compteurs().complets - compte.complets);

    // A burst of 5 wheel notches towards the middle, 50 ms apart.
    std::vector<std::function<void()>> crans(5, [&] { molette(plot, milieu.toPoint(), 120); });
    geste("molette", banc.joue(crans, 50));

    // "Remove all shapes".
    geste("vide", banc.joue({[&] { QMetaObject::invokeMethod(&v, "removeAllGraphs"); }}, 10));
    ecrit("pic", pic_mo());
    ecrit("rss_vide", rss_apres_vide(plot));
    pendant_charge(v, plot, carte, banc, chemin, ecrit);
    fprintf(sortie, "%s\n", o.str().c_str());
    return 0;
}

// The load alone, as the peers' table times it (a process of its own): a
// shown window, the file loaded as Explorer loads it, until its complete
// picture is on screen; with `redessin`, then the view changes of the
// peers' warm redraw (vues, default threads). The process then ends at
// once, as the peers' do once their picture is written: the window's
// teardown is not the load.
[[noreturn]] void charge_seule(const std::string &chemin, bool redessin, bool parFils,
                               const char *avant, FILE *sortie)
{
    KaluView v;
    QCustomPlot *plot = v.findChild<QCustomPlot *>("customPlot");
    taille_plot(v, plot);
    Carte *carte = Carte::de(plot);
    Banc banc(plot, carte);
    if (avant != nullptr) { // a small map first, its legend shown, as a user opens a sample
        banc.mesure([&] { chargeEtAttends(v, avant); });
        if (!plot->legend->visible())
            fprintf(stderr, "'%s' does not show the legend\n", avant);
    }
    const Banc::Geste g = banc.mesure([&] { chargeEtAttends(v, chemin); });
    // Every part on screen: in a picture of the load, or else the complete one.
    const double entiere = banc.entiere(size_t(plot->plottableCount()));
    fprintf(sortie,
            "charge_fin=%.6f charge_premiere=%.6f charge_entiere=%.6f charge_pire=%.6f "
            "charge_signal=%d courbes=%d ",
            g.fin, g.premiere, entiere < 0 ? g.fin : entiere, g.pire, g.signal,
            plot->plottableCount());
    if (redessin)
        vues(plot, carte, banc, parFils,
             [&](const char *cle, double valeur) { fprintf(sortie, "%s=%.6f ", cle, valeur); });
    fprintf(sortie, "rss=%.1f pic=%.1f\n", rss_mo(), pic_mo());
    fflush(nullptr);
    _exit(g.ok ? 0 : 1);
}

// "Remove all shapes" alone (a process of its own): FILE loaded as by
// charge_seule, then the removal as the context menu's action calls it,
// until the complete picture of the empty plot; then the loop runs on for
// as long as the curves go in slices, and longer.
[[noreturn]] void vide_seule(const std::string &chemin, FILE *sortie)
{
    KaluView v;
    QCustomPlot *plot = v.findChild<QCustomPlot *>("customPlot");
    taille_plot(v, plot);
    Carte *carte = Carte::de(plot);
    Banc banc(plot, carte);
    const Banc::Geste charge = banc.mesure([&] { chargeEtAttends(v, chemin); });
    const int courbes = plot->plottableCount();
    const Banc::Geste g =
        banc.joue({[&] { QMetaObject::invokeMethod(&v, "removeAllGraphs"); }}, 10);
    const double suite = banc.veille(3);
    fprintf(sortie, "courbes=%d vide_pire=%.6f vide_fin=%.6f vide_suite_pire=%.6f vide_signal=%d\n",
            courbes, g.pire, g.fin, suite, g.signal);
    fflush(nullptr);
    _exit(charge.ok && g.ok && plot->plottableCount() == 0 ? 0 : 1);
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

using Ligne = std::map<std::string, double>;

// A map to run: a generated one (its plan) or a real one (reelles.py).
struct Cible {
    std::string nom, chemin;
    long parts = 0, points = 0, plusGrande = 0;
    bool reelle = false;
};

// Runs one map in a child process at `ratio`; `mode` is "", "--ancien"
// (the old path) or "--fils" (the view change by threads too).
bool enfant(const char *moi, const std::string &chemin, int ratio, const char *mode, Ligne &l)
{
    const std::string commande =
        std::string("'") + moi + "' --une '" + chemin + "' " + std::to_string(ratio) + " " + mode;
    fflush(nullptr);
    FILE *p = popen(commande.c_str(), "r");
    if (!p)
        return false;
    std::string texte;
    char bloc[512];
    while (fgets(bloc, sizeof bloc, p))
        texte += bloc;
    const bool ok = pclose(p) == 0;
    std::istringstream mots(texte);
    std::string mot;
    while (mots >> mot) {
        const size_t egal = mot.find('=');
        if (egal != std::string::npos)
            l[mot.substr(0, egal)] = atof(mot.c_str() + egal + 1);
    }
    return ok && l.count("pic");
}

std::string nom(const Plan &p)
{
    char s[96];
    if (p.parts >= 1000000 && p.parts % 1000000 == 0)
        snprintf(s, sizeof s, "%s %ldM x %d", p.nom, p.parts / 1000000, p.points);
    else if (p.parts >= 1000 && p.parts % 1000 == 0)
        snprintf(s, sizeof s, "%s %ldk x %d", p.nom, p.parts / 1000, p.points);
    else
        snprintf(s, sizeof s, "%s %ld x %d", p.nom, p.parts, p.points);
    return s;
}

// The real-shaped maps whose name holds `seul`, made by reelles.py if need
// be (its progress goes to standard error). Exits when it fails.
std::vector<Cible> reelles(const std::string &dossier, const std::string &seul)
{
    const std::string commande =
        std::string("/usr/bin/python3 '" KALU_REELLES "' --only '") + seul + "' '" + dossier + "'";
    fflush(nullptr);
    FILE *p = popen(commande.c_str(), "r");
    std::vector<Cible> cartes;
    char ligne[4096];
    while (p && fgets(ligne, sizeof ligne, p)) {
        std::istringstream champs(ligne);
        Cible c;
        std::string type;
        std::getline(champs, c.nom, '\t');
        champs >> type >> c.parts >> c.points >> c.plusGrande;
        champs.ignore(1);
        std::getline(champs, c.chemin);
        c.reelle = true;
        cartes.push_back(c);
    }
    if (!p || pclose(p) != 0) {
        fprintf(stderr, "%s failed\n", commande.c_str());
        exit(1);
    }
    return cartes;
}

// Milliseconds, with a mark where the end is the last paint, not a signal.
std::string ms(const Ligne &l, const std::string &g, const char *quoi)
{
    char s[48];
    const double v = l.at(g + quoi);
    if (!l.at(g + "_ok"))
        return "timeout";
    snprintf(s, sizeof s, v * 1e3 < 10 ? "%.1f" : "%.0f", v * 1e3);
    return std::string(s) + (l.at(g + "_signal") ? "" : "*");
}

// A time in s, or "—" where it never came (a negative time).
std::string s_ou_rien(double secondes)
{
    char s[48];
    if (secondes < 0)
        return "—";
    snprintf(s, sizeof s, "%.3f", secondes);
    return s;
}

// MB, or "timeout" where the plot never emptied (a negative figure).
std::string mo_ou_attente(double mo)
{
    return mo < 0 ? "timeout" : std::to_string(lround(mo));
}

// A time in ms, or "failed" where no complete picture came.
std::string ms(double secondes)
{
    char s[48];
    if (secondes >= LIMITE_S)
        return "failed";
    snprintf(s, sizeof s, "%.0f", secondes * 1e3);
    return s;
}

// A measuring process: the viewer's trace lines go to /dev/null, the
// figures to the original standard output, returned. Qt reads the scale
// factor (`ratio`) when the application starts.
FILE *mesureur(const char *ratio)
{
    FILE *sortie = fdopen(dup(1), "w");
    if (!sortie || !freopen("/dev/null", "w", stdout))
        return nullptr;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (strcmp(ratio, "1") == 0)
        unsetenv("QT_SCALE_FACTOR");
    else
        setenv("QT_SCALE_FACTOR", ratio, 1);
    qInstallMessageHandler(filtre);
    return sortie;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && strcmp(argv[1], "--fichiers") == 0) {
        // The maps' files, made if need be, for the peers' table.
        for (const Plan &p : PLANS)
            printf("%s\t%d\t%ld\t%d\t%s\n", nom(p).c_str(), p.type, p.parts, p.points,
                   fichier(argv[2], p).c_str());
        return 0;
    }
    const bool apres = argc == 5 && strcmp(argv[3], "--apres") == 0;
    const bool parFils = argc == 4 && strcmp(argv[3], "--fils") == 0;
    if ((argc == 3 || apres || parFils) &&
        (strcmp(argv[1], "--charge") == 0 || strcmp(argv[1], "--redessin") == 0)) {
        FILE *sortie = mesureur("1");
        if (!sortie)
            return 1;
        QApplication app(argc, argv);
        charge_seule(argv[2], strcmp(argv[1], "--redessin") == 0, parFils,
                     apres ? argv[4] : nullptr, sortie);
    }
    if (argc == 3 && strcmp(argv[1], "--vide") == 0) {
        FILE *sortie = mesureur("1");
        if (!sortie)
            return 1;
        QApplication app(argc, argv);
        vide_seule(argv[2], sortie);
    }
    if (argc >= 4 && strcmp(argv[1], "--une") == 0) {
        // A child: the result goes to the parent.
        FILE *sortie = mesureur(argv[3]);
        if (!sortie)
            return 1;
        QApplication app(argc, argv);
        const char *mode = argc >= 5 ? argv[4] : "";
        int r =
            une_carte(argv[2], strcmp(mode, "--ancien") != 0, strcmp(mode, "--fils") == 0, sortie);
        fclose(sortie);
        return r;
    }
    const char *tmp = getenv("TMPDIR");
    std::string dossier = tmp ? tmp : "/tmp";
    long max = 1000000;
    std::string seul;
    bool generees = true;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--max") == 0 && i + 1 < argc)
            max = atol(argv[++i]);
        else if (strcmp(argv[i], "--only") == 0 && i + 1 < argc)
            seul = argv[++i];
        else if (strcmp(argv[i], "--reelles") == 0)
            generees = false;
        else
            dossier = argv[i];
    }

    // Every map's files first: making the real ones takes minutes once.
    std::vector<Cible> cartes;
    for (const Plan &p : PLANS) {
        if (!generees || p.parts > max || nom(p).find(seul) == std::string::npos)
            continue;
        const long parts = p.parts;
        cartes.push_back({nom(p), fichier(dossier, p), parts, parts * p.points, p.points, false});
    }
    for (const Cible &c : reelles(dossier, seul))
        if (c.parts <= max)
            cartes.push_back(c);

    printf("Viewer, plot 800 x 600 logical pixels, at device pixel ratios 1 and 2; events sent "
           "10 ms apart (wheel notches 50 ms) with the event loop running between them. "
           "Stall: the longest gap of a 2 ms heartbeat timer, from the gesture's first event "
           "to its complete picture on screen. Frame: one drag move, its replot and paint. "
           "First picture: from the load's call to the end of the first replot showing part of "
           "the map while it loads (—: none did). Resident MB: after the load's complete "
           "picture, and after \"Remove all shapes\", once the plot is empty and the loop ran "
           "1 s more. Old: every replot draws every curve (maps up to %ld parts, ratio 1).\n\n",
           ANCIEN_MAX);
    printf("| map | ratio | first picture s | load + paint s | drag stall ms | drag frame max ms "
           "| drag frame median ms | wheel stall ms | click stall ms | remove selected stall ms "
           "| remove all stall ms | peak MB | resident MB after load | resident MB after remove "
           "all | old: drag stall ms | old: drag frame median ms | old: click stall ms |\n"
           "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    struct Resultat {
        Cible carte;
        std::string ligne;
        Ligne l;
    };
    std::vector<Resultat> resultats;
    std::vector<std::string> notes;
    for (const Cible &c : cartes) {
        for (int ratio : {1, 2}) {
            if (ratio == 2 && !c.reelle && c.parts > RATIO2_MAX) {
                notes.push_back(c.nom + ": not run at ratio 2, to keep the run short");
                continue;
            }
            Ligne l, a;
            const bool ancien = ratio == 1 && !c.reelle && c.parts <= ANCIEN_MAX;
            if (!enfant(argv[0], c.chemin, ratio, c.reelle ? "--fils" : "", l) ||
                (ancien && !enfant(argv[0], c.chemin, ratio, "--ancien", a))) {
                printf("| %s | %d | failed |\n", c.nom.c_str(), ratio);
                fflush(stdout);
                continue;
            }
            char t[512];
            snprintf(
                t, sizeof t,
                "| %s | %g | %s | %.3f | %s | %.1f | %.1f | %s | %s | %s | %s | %.0f | %.0f | %s |",
                c.nom.c_str(), l["ratio"], s_ou_rien(l["charge_premiere"]).c_str(), l["charge_fin"],
                ms(l, "glisse", "_pire").c_str(), l["image_max"] * 1e3, l["image_med"] * 1e3,
                ms(l, "molette", "_pire").c_str(), ms(l, "clic", "_pire").c_str(),
                ms(l, "retire", "_pire").c_str(), ms(l, "vide", "_pire").c_str(), l["pic"],
                l["rss_charge"], mo_ou_attente(l["rss_vide"]).c_str());
            std::string ligne = t;
            if (ancien) {
                snprintf(t, sizeof t, " %s | %.1f | %s |", ms(a, "glisse", "_pire").c_str(),
                         a["image_med"] * 1e3, ms(a, "clic", "_pire").c_str());
                ligne += t;
            } else {
                ligne += " | | |";
            }
            printf("%s\n", ligne.c_str());
            fflush(stdout);
            const std::string ici = c.nom + " at ratio " + std::to_string(ratio) + ": ";
            if (l["tampon"] != ratio)
                notes.push_back(ici + "the plot's buffers have a ratio of " +
                                std::to_string(l["tampon"]));
            if (!l["choisie"])
                notes.push_back(ici + "the click selected no curve");
            if (l["retiree"] != 1)
                notes.push_back(ici + "\"Remove selected shape\" removed " +
                                std::to_string(int(l["retiree"])) + " curves");
            if (l["images"] < 20)
                notes.push_back(ici + std::to_string(int(l["images"])) +
                                " of the 20 drag moves were painted before the next");
            if (ratio == 1 && l["complets"] != 1)
                notes.push_back(ici + std::to_string(int(l["complets"])) +
                                " complete drawings during the drag, not 1");
            resultats.push_back({c, c.nom + " | " + std::to_string(ratio), l});
        }
    }
    printf("\n* no imageComplete came: the end is the last paint (the loop was then calm for "
           "%.0f ms). timeout: no complete picture within %.0f s. The wheel's end includes its "
           "pause of %d ms.\n",
           CALME_S * 1e3, LIMITE_S, Carte::PAUSE_MOLETTE);
    for (const std::string &n : notes)
        printf("(%s)\n", n.c_str());

    printf(
        "\nTime from a view change, or from the gesture's end (the drag's release, the last wheel "
        "notch, the click's release, the menu's action), to its complete picture on screen, ms, "
        "beside the floor (one thread, QPainter, the same parts on a picture of the plot's device "
        "pixels). View change and floor: the best of three, taken in turns.\n\n"
        "| map | ratio | floor ms | view change ms | view change / floor | drag | drag / floor | "
        "wheel | click | remove selected | remove all "
        "|\n|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (Resultat &r : resultats) {
        Ligne &l = r.l;
        printf("| %s | %.0f | %.0f | %.2f | %s | %.2f | %s | %s | %s | %s |\n", r.ligne.c_str(),
               l["plancher"] * 1e3, l["redessin"] * 1e3, l["redessin"] / l["plancher"],
               ms(l, "glisse", "_fin").c_str(), l["glisse_fin"] / l["plancher"],
               ms(l, "molette", "_fin").c_str(), ms(l, "clic", "_fin").c_str(),
               ms(l, "retire", "_fin").c_str(), ms(l, "vide", "_fin").c_str());
    }
    fflush(stdout);

    printf("\nDuring a load, from its first picture with curves on: a wheel notch, then a drag "
           "of 20 moves 10 ms apart; in another load, a stop (Escape). Time from the notch to a "
           "picture of the new view, the longest stall of the load with its gestures, the load "
           "to its complete picture (plain and with the gestures), the stop to the load's end, "
           "and the curves made after the stop (taken back: at most 0).\n\n"
           "| map | ratio | wheel shown ms | longest stall ms | load s | load with gestures s | "
           "stop ms | curves after the stop |\n|---|---|---|---|---|---|---|---|\n");
    for (Resultat &r : resultats) {
        Ligne &l = r.l;
        printf("| %s | %s | %.1f | %.3f | %.3f | %s | %.0f |\n", r.ligne.c_str(),
               ms(l["pendant_molette"]).c_str(), l["pendant_pire"] * 1e3, l["charge_fin"],
               l["pendant_fin"], ms(l["arret"]).c_str(), l["arret_apres"]);
    }
    fflush(stdout);

    bool entete = false;
    for (Resultat &r : resultats) {
        if (!r.carte.reelle)
            continue;
        Ligne &l = r.l;
        if (!entete) {
            printf("\nReal-shaped maps (bench/reelles.py): time from a view change (1 %% pan) to "
                   "its complete picture on screen, ms, with the map's job on 1 thread, 2 threads "
                   "and the default (%d on this machine), beside the floor (one thread, QPainter, "
                   "the same parts). Each the best of three, all taken in turns.\n\n"
                   "| map | parts | points | largest part | ratio | floor | 1 thread | 2 threads | "
                   "default | 2 / 1 | default / 1 | default / floor |\n"
                   "|---|---|---|---|---|---|---|---|---|---|---|---|\n",
                   int(l["fils"]));
            entete = true;
        }
        const double f1 = l["redessin_1"], f2 = l["redessin_2"], d = l["redessin"];
        printf("| %s | %ld | %ld | %ld | %.0f | %.0f | %s | %s | %s | %.2f | %.2f | %.2f |\n",
               r.carte.nom.c_str(), r.carte.parts, r.carte.points, r.carte.plusGrande, l["ratio"],
               l["plancher"] * 1e3, ms(f1).c_str(), ms(f2).c_str(), ms(d).c_str(), f2 / f1, d / f1,
               d / l["plancher"]);
    }
    fflush(stdout);

    entete = false;
    for (Resultat &r : resultats) {
        Ligne &l = r.l;
        if (!r.carte.reelle || !l.count("choix_montre"))
            continue;
        if (!entete) {
            printf("\nReal-shaped maps: the selection moved by a click between the two biggest "
                   "rings a click selects, both ways (the worse of the two), then \"Remove "
                   "selected shape\" on the one selected: from the click's release (the "
                   "action) to the end of the paint of the first picture showing the new "
                   "selection (the stand-in, or the exact picture), and to the exact picture on "
                   "screen, ms; beside, the partial job's own time (— : the GUI thread drew it) "
                   "and the last complete job's (the view change's), ms.\n\n"
                   "| map | ratio | rings' points | click: new selection shown | click: exact "
                   "| partial job | complete job | remove: shown | remove: exact | remove: "
                   "partial job |\n|---|---|---|---|---|---|---|---|---|---|\n");
            entete = true;
        }
        auto t = [](double s) {
            char b[32];
            snprintf(b, sizeof b, s > 0 ? "%.0f" : "—", s * 1e3);
            return std::string(b);
        };
        printf("| %s | %.0f | %.0f, %.0f | %s | %s%s | %s | %s | %s | %s%s | %s |\n",
               r.carte.nom.c_str(), l["ratio"], l["choix_a"], l["choix_b"],
               t(l["choix_montre"]).c_str(), t(l["choix_exact"]).c_str(),
               l["choix_ok"] ? "" : " (failed)", t(l["choix_retouche"]).c_str(),
               t(l["complet_duree"]).c_str(), t(l["retireGrand_montre"]).c_str(),
               t(l["retireGrand_exact"]).c_str(), l["retireGrand_ok"] ? "" : " (failed)",
               t(l["retireGrand_retouche"]).c_str());
    }
    fflush(stdout);
    if (!generees)
        return 0;

    printf(
        "\nkalu-export, 800 x 600 PNG, whole process\n\n| parts | s | peak MB |\n|---|---|---|\n");
    for (long parts : {100000L, 300000L, 1000000L}) {
        if (parts > max)
            break;
        double s = 0, mo = 0;
        const std::string png = dossier + "/kalu-bench-export.png";
        if (!processus({KALU_EXPORT, png, fichier(dossier, Plan{"polygons", 5, parts, 20, {}})}, s,
                       mo)) {
            fprintf(stderr, "kalu-export on %ld parts failed\n", parts);
            return 1;
        }
        printf("| %ld | %.2f | %.0f |\n", parts, s, mo);
        fflush(stdout);
        unlink(png.c_str());
    }
    return 0;
}
