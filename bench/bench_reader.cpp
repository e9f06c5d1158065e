// SPDX-License-Identifier: GPL-3.0-or-later
// Reader throughput: fscan_shp against a raw fread of the whole file (the
// floor) and against shapelib's SHPReadObject loop, on generated PolyLine
// and Polygon files. Each method reads the file, keeps every shape in memory
// until the end, as a viewer must, and sums every coordinate, so that all
// three touch and hold the same data; times are medians of several runs
// on a file already in the page cache. Each run is a process of its own
// (forked), so that every method starts from fresh memory as a viewer
// reading a file does, and not from blocks a previous run left behind.
//
// Usage: kalu_bench_reader [DIRECTORY] [RUNS]
//   DIRECTORY  where the generated files are kept (default $TMPDIR or /tmp);
//              about 500 MB, reused when already there.
//   RUNS       runs per method and file (default 5).
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

double chrono(const std::function<double()> &f, int runs, double &somme)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        double r[2];
        if (!une_fois(f, r)) {
            fprintf(stderr, "a run failed\n");
            exit(1);
        }
        t.push_back(r[0]);
        somme = r[1];
    }
    return mediane(t);
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
           "| fscan_shp s (MB/s) | / raw | / shapelib |\n");
    printf("|---|---|---|---|---|---|---|---|\n");
    double t200k = 0, t1m = 0;
    for (const Fichier &f : fichiers) {
        const std::string chemin = dossier + "/kalu-bench-" + f.nom;
        const long long octets = genshp::taille(f.records, f.parts, f.points);
        if (!genshp::present(chemin, f.type, f.records, f.parts, f.points) &&
            !genshp::ecrit(chemin, f.type, f.records, f.parts, f.points)) {
            fprintf(stderr, "can't write '%s'\n", chemin.c_str());
            return 1;
        }
        const double mo = octets / 1e6;
        double sb = 0, ss = 0, sk = 0;
        brut(chemin); // into the page cache
        const double tb = chrono([&] { return brut(chemin); }, runs, sb);
        const double ts = chrono([&] { return shapelib(chemin); }, runs, ss);
        const double tk = chrono([&] { return kalu(chemin); }, runs, sk);
        if (sb != ss || sb != sk) {
            fprintf(stderr, "%s: the three sums differ (%.17g, %.17g, %.17g)\n", f.nom, sb, ss, sk);
            return 1;
        }
        printf("| %s | %ld x %d x %d | %.1f | %.3f (%.0f) | %.3f (%.0f) | %.3f (%.0f) | %.2f | "
               "%.2f |\n",
               f.nom, f.records, f.parts, f.points, mo, tb, mo / tb, ts, mo / ts, tk, mo / tk,
               tk / tb, tk / ts);
        fflush(stdout);
        if (f.records == 200000)
            t200k = tk;
        if (f.records == 1000000)
            t1m = tk;
    }
    printf("\nfscan_shp, 1,000,000 records / 200,000 records: %.2f (linear: 5)\n", t1m / t200k);
    return 0;
}
