// SPDX-License-Identifier: GPL-3.0-or-later
#include "genshp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace genshp
{

namespace
{

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

long rangees(const Disposition &d)
{
    return std::max(1L, std::lround(170 / d.pas));
}

// The place of record r. The rows start again at the bottom once they reach
// the top; the grid moves right and up by what a radius above 0.05 would
// put beyond -180 and -85. The default grid is the one files were always
// made with.
void centre(const Disposition &d, long r, double &x, double &y)
{
    const double marge = std::max(0.0, d.rayon - 0.05);
    x = -179.95 + marge + d.pas * static_cast<double>(r % d.colonnes);
    y = -84.95 + marge + d.pas * static_cast<double>((r / d.colonnes) % rangees(d));
}

// Half the side of a record's box.
double demi(const Disposition &d)
{
    return std::max(0.05, d.rayon);
}

// The headers, whose box is that of every record's box, as readers that
// fit a map to the header (QGIS, Mapnik) expect: the grid's first column
// and bottom row, its last filled column and top filled row.
Octets entete(int type, long long octets, long records, const Disposition &d)
{
    if (records == 0)
        return entete(type, octets, 0, 0, 0, 0);
    const long colonnes = std::min<long>(records, d.colonnes);
    const long lignes = std::min((records + d.colonnes - 1) / d.colonnes, rangees(d));
    double x0, y0, x1, y1;
    centre(d, 0, x0, y0);
    centre(d, colonnes - 1 + (lignes - 1) * d.colonnes, x1, y1);
    const double h = demi(d);
    return entete(type, octets, x0 - h, y0 - h, x1 + h, y1 + h);
}

// A table without fields, one empty row per record: Mapnik opens no
// shapefile without its table.
bool table(const std::string &chemin, long records)
{
    FILE *dbf = fopen(chemin.c_str(), "wb");
    if (!dbf)
        return false;
    Octets b = {3, 126, 1, 1}; // dBASE III, dated 2026-01-01
    petit(b, static_cast<int>(records));
    b.insert(b.end(), {33, 0, 1, 0}); // header, record lengths
    b.resize(32, 0);
    b.push_back(0x0d);
    b.insert(b.end(), static_cast<size_t>(records), ' ');
    b.push_back(0x1a);
    const bool ok = fwrite(b.data(), 1, b.size(), dbf) == b.size();
    return fclose(dbf) == 0 && ok;
}

std::string autre(const std::string &chemin, const char *extension)
{
    return chemin.substr(0, chemin.size() - 4) + extension;
}

} // namespace

long long taille(long records, int parts, int points)
{
    return 100 + records * (8 + 44LL + 4LL * parts + 16LL * parts * points);
}

bool ecrit(const std::string &chemin, int type, long records, int parts, int points,
           const Disposition &d)
{
    const std::string index = autre(chemin, ".shx");
    FILE *shp = fopen(chemin.c_str(), "wb");
    FILE *shx = fopen(index.c_str(), "wb");
    bool ok = shp && shx;
    const long long total = taille(records, parts, points);
    if (ok) {
        Octets h = entete(type, total, records, d);
        Octets hx = entete(type, 100 + 8LL * records, records, d);
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
        const double h = demi(d);
        for (double v : {x0 - h, y0 - h, x0 + h, y0 + h})
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
    return ok && position == total && table(autre(chemin, ".dbf"), records);
}

bool present(const std::string &chemin, int type, long records, int parts, int points,
             const Disposition &d)
{
    FILE *shp = fopen(chemin.c_str(), "rb");
    if (!shp)
        return false;
    const Octets attendu = entete(type, taille(records, parts, points), records, d);
    Octets lu(attendu.size());
    const bool ok = fread(lu.data(), 1, lu.size(), shp) == lu.size() && lu == attendu &&
                    fseek(shp, 0, SEEK_END) == 0 && ftell(shp) == taille(records, parts, points);
    fclose(shp);
    struct stat st;
    return ok && stat(autre(chemin, ".dbf").c_str(), &st) == 0 && st.st_size == 34 + records;
}

} // namespace genshp
