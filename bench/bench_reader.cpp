// SPDX-License-Identifier: GPL-3.0-or-later
// Reader throughput: fscan_shp against a raw fread of the whole file (the
// floor) and against shapelib's SHPReadObject loop, on generated PolyLine
// and Polygon files and on the real maps given. Each method reads the file
// and sums every coordinate, so that all touch the same data; shapelib and
// fscan_shp alone keep every shape in memory until the end, as a viewer
// must; fscan_shp with a follower sums each record as it is stored and
// lets its block go (the follower returns true), as the viewer's loader
// does. Times are medians of several runs on a file already in the page
// cache, the methods taking turns. Each run is a process of its own
// (forked), so that every method starts from fresh memory as a viewer
// reading a file does, and not from blocks a previous run left behind.
//
// Usage: kalu_bench_reader [DIRECTORY] [RUNS] [FILE.shp...]
//   DIRECTORY  where the generated files are kept (default $TMPDIR or /tmp);
//              about 500 MB, reused when already there.
//   RUNS       runs per method and file (default 5).
//   FILE.shp   real maps timed after the generated ones.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <shapefil.h>

#include "genshp.h"
#include "zolshp.h"

namespace
{

struct Fichier {
    const char *nom;
    int type;
    long records;
    int parts, points;
};

double mediane(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// One run in a forked child: {seconds, sum} come back through a pipe.
bool une_fois(const std::function<double()> &f, double resultat[2])
{
    int tube[2];
    if (pipe(tube) != 0)
        return false;
    fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        close(tube[0]);
        auto a = std::chrono::steady_clock::now();
        double r[2];
        r[1] = f();
        auto b = std::chrono::steady_clock::now();
        r[0] = std::chrono::duration<double>(b - a).count();
        ssize_t ecrits = write(tube[1], r, sizeof r);
        _exit(ecrits == sizeof r ? 0 : 1);
    }
    close(tube[1]);
    bool ok = pid > 0 && read(tube[0], resultat, 2 * sizeof(double)) == 2 * sizeof(double);
    close(tube[0]);
    int statut = 0;
    if (pid > 0)
        waitpid(pid, &statut, 0);
    return ok && WIFEXITED(statut) && WEXITSTATUS(statut) == 0;
}

// The methods of one file, taking turns run after run: the machine's
// noise falls on all alike. The medians come back in `temps`, the sums in
// `sommes`.
void chronos(const std::vector<std::function<double()>> &methodes, int runs,
             std::vector<double> &temps, std::vector<double> &sommes)
{
    std::vector<std::vector<double>> t(methodes.size());
    sommes.assign(methodes.size(), 0);
    for (int i = 0; i < runs; ++i)
        for (size_t m = 0; m < methodes.size(); ++m) {
            double r[2];
            if (!une_fois(methodes[m], r)) {
                fprintf(stderr, "a run failed\n");
                exit(1);
            }
            t[m].push_back(r[0]);
            sommes[m] = r[1];
        }
    temps.clear();
    for (const std::vector<double> &v : t)
        temps.push_back(mediane(v));
}

int32_t entier(const unsigned char *o)
{
    int32_t v;
    memcpy(&v, o, 4);
    return v;
}

// The floor: one fread of the whole file into fresh memory, then a walk of
// the records that sums every coordinate.
double brut(const std::string &chemin)
{
    FILE *f = fopen(chemin.c_str(), "rb");
    if (!f)
        return -1;
    fseek(f, 0, SEEK_END);
    long n = ftell(f);
    fseek(f, 0, SEEK_SET);
    unsigned char *b = static_cast<unsigned char *>(malloc(n));
    size_t lu = fread(b, 1, n, f);
    fclose(f);
    double s = 0;
    for (long p = 100; p + 52 <= static_cast<long>(lu);) {
        int32_t parts = entier(b + p + 44), points = entier(b + p + 48);
        const unsigned char *c = b + p + 52 + 4L * parts;
        for (long k = 0; k < points; ++k) {
            double xy[2];
            memcpy(xy, c + 16 * k, 16);
            s += xy[0] + xy[1];
        }
        p += 52 + 4L * parts + 16L * points;
    }
    free(b);
    return s;
}

double kalu(const std::string &chemin)
{
    int n = 0;
    ShpData *d = fscan_shp(chemin.c_str(), n);
    double s = 0;
    for (int r = 0; r < n; ++r)
        for (int p = 0; p < d->partn[r]; ++p)
            for (int k = 0; k < d->pointn[r][p]; ++k)
                s += d->x[r][p][k] + d->y[r][p][k];
    deleteshp(d, n);
    return s;
}

double kaluSuivi(const std::string &chemin)
{
    int n = 0;
    double s = 0;
    ShpData *d = fscan_shp(chemin.c_str(), n, nullptr, [&s](const ShpEnregistrement &e) {
        for (int p = 0; p < e.partn; ++p)
            for (int k = 0; k < e.pointn[p]; ++k)
                s += e.x[p][k] + e.y[p][k];
        return true;
    });
    deleteshp(d, n);
    return s;
}

double shapelib(const std::string &chemin)
{
    SHPHandle h = SHPOpen(chemin.c_str(), "rb");
    if (!h)
        return -1;
    int n = 0, type = 0;
    SHPGetInfo(h, &n, &type, nullptr, nullptr);
    double s = 0;
    std::vector<SHPObject *> formes(n);
    for (int i = 0; i < n; ++i) {
        SHPObject *o = formes[i] = SHPReadObject(h, i);
        for (int k = 0; k < o->nVertices; ++k)
            s += o->padfX[k] + o->padfY[k];
    }
    for (SHPObject *o : formes)
        SHPDestroyObject(o);
    SHPClose(h);
    return s;
}

// One line of the table; false when the methods' sums differ.
bool mesure(const std::string &chemin, const std::string &nom, const std::string &forme,
            long long octets, int runs, double &tk)
{
    const double mo = octets / 1e6;
    brut(chemin); // into the page cache
    std::vector<double> t, sommes;
    chronos({[&] { return brut(chemin); }, [&] { return shapelib(chemin); },
             [&] { return kalu(chemin); }, [&] { return kaluSuivi(chemin); }},
            runs, t, sommes);
    for (double somme : sommes)
        if (somme != sommes[0]) {
            fprintf(stderr, "%s: the sums differ (%.17g, %.17g, %.17g, %.17g)\n", nom.c_str(),
                    sommes[0], sommes[1], sommes[2], sommes[3]);
            return false;
        }
    printf("| %s | %s | %.1f | %.3f (%.0f) | %.3f (%.0f) | %.3f (%.0f) | %.3f (%.0f) | %.2f | "
           "%.2f | %.2f |\n",
           nom.c_str(), forme.c_str(), mo, t[0], mo / t[0], t[1], mo / t[1], t[2], mo / t[2], t[3],
           mo / t[3], t[2] / t[0], t[2] / t[1], t[3] / t[1]);
    fflush(stdout);
    tk = t[2];
    return true;
}

// A real map's records, parts and points, and its size.
bool decrit(const std::string &chemin, std::string &forme, long long &octets)
{
    int n = 0;
    ShpData *d = fscan_shp(chemin.c_str(), n);
    if (d == nullptr)
        return false;
    long long parts = 0, points = 0;
    for (int r = 0; r < n; ++r) {
        parts += d->partn[r];
        for (int p = 0; p < d->partn[r]; ++p)
            points += d->pointn[r][p];
    }
    deleteshp(d, n);
    double x0, y0, x1, y1;
    if (!boite_shp(chemin.c_str(), x0, y0, x1, y1, octets))
        return false;
    forme = std::to_string(n) + " records, " + std::to_string(parts) + " parts, " +
            std::to_string(points) + " points";
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const char *tmp = getenv("TMPDIR");
    const std::string dossier = argc > 1 ? argv[1] : (tmp ? tmp : "/tmp");
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

    const Fichier fichiers[] = {
        {"lignes-1k.shp", 3, 1000, 1, 4},
        {"lignes-100k.shp", 3, 100000, 1, 4},
        {"lignes-200k.shp", 3, 200000, 1, 4},
        {"lignes-1m.shp", 3, 1000000, 1, 4},
        {"polygones-1k-20k.shp", 5, 1000, 1, 20000},
    };

    printf("| file | records x parts x points | MB | raw fread s (MB/s) | shapelib s (MB/s) "
           "| fscan_shp s (MB/s) | fscan_shp + follower s (MB/s) | fscan_shp / raw "
           "| fscan_shp / shapelib | + follower / shapelib |\n");
    printf("|---|---|---|---|---|---|---|---|---|---|\n");
    double t200k = 0, t1m = 0;
    for (const Fichier &f : fichiers) {
        const std::string chemin = dossier + "/kalu-bench-" + f.nom;
        if (!genshp::present(chemin, f.type, f.records, f.parts, f.points) &&
            !genshp::ecrit(chemin, f.type, f.records, f.parts, f.points)) {
            fprintf(stderr, "can't write '%s'\n", chemin.c_str());
            return 1;
        }
        const std::string forme = std::to_string(f.records) + " x " + std::to_string(f.parts) +
                                  " x " + std::to_string(f.points);
        double tk = 0;
        if (!mesure(chemin, f.nom, forme, genshp::taille(f.records, f.parts, f.points), runs, tk))
            return 1;
        if (f.records == 200000)
            t200k = tk;
        if (f.records == 1000000)
            t1m = tk;
    }
    for (int k = 3; k < argc; ++k) {
        std::string forme;
        long long octets = 0;
        const std::string chemin = argv[k];
        double tk = 0;
        if (!decrit(chemin, forme, octets)) {
            fprintf(stderr, "can't read '%s'\n", chemin.c_str());
            return 1;
        }
        if (!mesure(chemin, chemin.substr(chemin.find_last_of('/') + 1), forme, octets, runs, tk))
            return 1;
    }
    printf("\nfscan_shp, 1,000,000 records / 200,000 records: %.2f (linear: 5)\n", t1m / t200k);
    return 0;
}
