// SPDX-License-Identifier: GPL-3.0-or-later
#include "genshp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace genshp {

namespace {

using Octets = std::vector<unsigned char>;

void gros(Octets &b, int v)
{
    for (int s = 24; s >= 0; s -= 8)
        b.push_back(static_cast<unsigned char>(static_cast<unsigned>(v) >> s));
}

void petit(Octets &b, int v)
{
    for (int s = 0; s <= 24; s += 8)
        b.push_back(static_cast<unsigned char>(static_cast<unsigned>(v) >> s));
}

void petit(Octets &b, double v)
{
    unsigned char o[8];
    memcpy(o, &v, 8); // little-endian hosts only, as the reader
    b.insert(b.end(), o, o + 8);
}

Octets entete(int type, long long octets, double xmin, double ymin, double xmax, double ymax)
{
    Octets b;
    gros(b, 9994);
    for (int i = 0; i < 5; ++i)
        gros(b, 0);
    gros(b, static_cast<int>(octets / 2));
    petit(b, 1000);
    petit(b, type);
    for (double v : {xmin, ymin, xmax, ymax, 0.0, 0.0, 0.0, 0.0})
        petit(b, v);
    return b;
}

// The place of record r. The rows start again at the bottom once they reach
// the top; the grid moves right and up by what a radius above 0.05 would
// put beyond -180 and -85. The default grid is the one files were always
// made with, so that they keep their bytes.
void centre(const Disposition &d, long r, double &x, double &y)
{
    const double marge = std::max(0.0, d.rayon - 0.05);
    const long rangees = std::max(1L, std::lround(170 / d.pas));
    x = -179.95 + marge + d.pas * static_cast<double>(r % d.colonnes);
    y = -84.95 + marge + d.pas * static_cast<double>((r / d.colonnes) % rangees);
}

} // namespace

long long taille(long records, int parts, int points)
{
    return 100 + records * (8 + 44LL + 4LL * parts + 16LL * parts * points);
}

bool ecrit(const std::string &chemin, int type, long records, int parts, int points,
           const Disposition &d)
{
    const std::string index = chemin.substr(0, chemin.size() - 4) + ".shx";
    FILE *shp = fopen(chemin.c_str(), "wb");
    FILE *shx = fopen(index.c_str(), "wb");
    bool ok = shp && shx;
    const long long total = taille(records, parts, points);
    if (ok) {
        Octets h = entete(type, total, -180, -85, 180, 85);
        Octets hx = entete(type, 100 + 8LL * records, -180, -85, 180, 85);
        ok = fwrite(h.data(), 1, h.size(), shp) == h.size() &&
             fwrite(hx.data(), 1, hx.size(), shx) == hx.size();
    }
    const int contenu = 44 + 4 * parts + 16 * parts * points;
    long long position = 100;
    Octets b;
    for (long r = 0; ok && r < records; ++r) {
        double x0, y0;
        centre(d, r, x0, y0);
        b.clear();
        gros(b, static_cast<int>(r + 1));
        gros(b, contenu / 2);
        petit(b, type);
        const double demi = std::max(0.05, d.rayon);
        for (double v : {x0 - demi, y0 - demi, x0 + demi, y0 + demi})
            petit(b, v);
        petit(b, parts);
        petit(b, parts * points);
        for (int p = 0; p < parts; ++p)
            petit(b, p * points);
        for (int p = 0; p < parts; ++p) {
            const double rayon = d.rayon / (p + 1);
            for (int k = 0; k < points; ++k) {
                // A ring closes on its first point.
                const int kk = (type == 5 && k == points - 1) ? 0 : k;
                const double a = -2 * M_PI * kk / (points > 1 ? points - 1 : 1);
                petit(b, x0 + rayon * std::cos(a));
                petit(b, y0 + rayon * std::sin(a));
            }
        }
        Octets ix;
        gros(ix, static_cast<int>(position / 2));
        gros(ix, contenu / 2);
        ok = fwrite(b.data(), 1, b.size(), shp) == b.size() &&
             fwrite(ix.data(), 1, ix.size(), shx) == ix.size();
        position += static_cast<long long>(b.size());
    }
    if (shp && fclose(shp) != 0)
        ok = false;
    if (shx && fclose(shx) != 0)
        ok = false;
    return ok && position == total;
}

} // namespace genshp
