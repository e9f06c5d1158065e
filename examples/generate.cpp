// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the sample shapefiles of this directory (main files only, .shp):
//   bretagne.shp  Polygon, one ring per record: a coast and two islands;
//   rivieres.shp  PolyLine, one part per record: three rivers;
//   archipel.shp  Polygon, several rings per record: two groups of islands.
// The shapes are drawn by hand from a few points each, in degrees of
// longitude and latitude; the files are always the same bytes.
//
// Usage: kalu_examples [DIRECTORY]   (default: the current directory)
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{

struct Point {
    double x, y;
};
using Part = std::vector<Point>;
using Record = std::vector<Part>;
using Bytes = std::vector<unsigned char>;

void big(Bytes &b, int v)
{
    for (int s = 24; s >= 0; s -= 8)
        b.push_back(static_cast<unsigned char>(static_cast<unsigned>(v) >> s));
}

void little(Bytes &b, int v)
{
    for (int s = 0; s <= 24; s += 8)
        b.push_back(static_cast<unsigned char>(static_cast<unsigned>(v) >> s));
}

void little(Bytes &b, double v)
{
    unsigned long long u;
    memcpy(&u, &v, 8);
    for (int s = 0; s < 64; s += 8)
        b.push_back(static_cast<unsigned char>(u >> s));
}

struct Box {
    double xmin = 1e300, ymin = 1e300, xmax = -1e300, ymax = -1e300;
    void add(const Box &o)
    {
        xmin = std::min(xmin, o.xmin), ymin = std::min(ymin, o.ymin);
        xmax = std::max(xmax, o.xmax), ymax = std::max(ymax, o.ymax);
    }
};

Box boxOf(const Record &r)
{
    Box b;
    for (const Part &p : r)
        for (const Point &pt : p)
            b.add({pt.x, pt.y, pt.x, pt.y});
    return b;
}

void box(Bytes &b, const Box &x)
{
    for (double v : {x.xmin, x.ymin, x.xmax, x.ymax})
        little(b, v);
}

Bytes content(int type, const Record &r)
{
    Bytes c;
    little(c, type);
    box(c, boxOf(r));
    little(c, static_cast<int>(r.size()));
    int n = 0;
    for (const Part &p : r)
        n += static_cast<int>(p.size());
    little(c, n);
    int start = 0;
    for (const Part &p : r) {
        little(c, start);
        start += static_cast<int>(p.size());
    }
    for (const Part &p : r)
        for (const Point &pt : p) {
            little(c, pt.x);
            little(c, pt.y);
        }
    return c;
}

bool write(const std::string &path, int type, const std::vector<Record> &records)
{
    Bytes body;
    Box all;
    int number = 1;
    for (const Record &r : records) {
        Bytes c = content(type, r);
        big(body, number++);
        big(body, static_cast<int>(c.size() / 2));
        body.insert(body.end(), c.begin(), c.end());
        all.add(boxOf(r));
    }
    Bytes h;
    big(h, 9994);
    for (int i = 0; i < 5; ++i)
        big(h, 0);
    big(h, static_cast<int>((100 + body.size()) / 2));
    little(h, 1000);
    little(h, type);
    box(h, all);
    for (int i = 0; i < 4; ++i)
        little(h, 0.0); // Z and M ranges
    h.insert(h.end(), body.begin(), body.end());

    FILE *f = fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    bool ok = fwrite(h.data(), 1, h.size(), f) == h.size();
    return fclose(f) == 0 && ok;
}

// A closed ring through the given points, clockwise as the format wants
// outer rings.
Part ring(Part p)
{
    p.push_back(p.front());
    return p;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string dir = argc > 1 ? argv[1] : ".";

    const std::vector<Record> bretagne = {
        {ring({{-4.77, 48.36},
               {-4.2, 48.66},
               {-3.5, 48.83},
               {-2.9, 48.6},
               {-2.0, 48.65},
               {-1.4, 48.63},
               {-1.1, 48.2},
               {-1.2, 47.7},
               {-2.1, 47.25},
               {-2.55, 47.3},
               {-3.3, 47.6},
               {-4.1, 47.8},
               {-4.4, 47.95},
               {-4.6, 48.1},
               {-4.35, 48.3}})},
        {ring({{-3.25, 47.38}, {-3.08, 47.33}, {-3.05, 47.28}, {-3.2, 47.28}})},
        {ring({{-5.13, 48.47}, {-5.04, 48.48}, {-5.05, 48.44}, {-5.12, 48.44}})},
    };
    const std::vector<Record> rivieres = {
        {{{-4.2, 48.0}, {-3.9, 48.05}, {-3.6, 47.95}, {-3.3, 47.8}, {-3.35, 47.7}}},
        {{{-1.2, 48.3}, {-1.5, 48.15}, {-1.68, 48.11}, {-1.9, 47.9}, {-2.1, 47.6}, {-2.2, 47.5}}},
        {{{-3.1, 48.5}, {-2.95, 48.3}, {-2.75, 48.1}, {-2.8, 47.85}, {-2.78, 47.6}}},
    };
    const std::vector<Record> archipel = {
        {ring({{-2.98, 47.4}, {-2.9, 47.42}, {-2.88, 47.37}, {-2.95, 47.35}}),
         ring({{-2.82, 47.35}, {-2.76, 47.36}, {-2.75, 47.32}, {-2.81, 47.31}}),
         ring({{-2.7, 47.3}, {-2.64, 47.31}, {-2.63, 47.27}, {-2.69, 47.26}})},
        {ring({{-3.52, 48.84}, {-3.44, 48.86}, {-3.42, 48.82}, {-3.5, 48.8}}),
         ring({{-3.36, 48.88}, {-3.3, 48.9}, {-3.28, 48.86}, {-3.34, 48.85}})},
    };

    bool ok = write(dir + "/bretagne.shp", 5, bretagne) &&
              write(dir + "/rivieres.shp", 3, rivieres) &&
              write(dir + "/archipel.shp", 5, archipel);
    if (!ok) {
        fprintf(stderr, "kalu_examples: can't write the samples under '%s'\n", dir.c_str());
        return 1;
    }
    return 0;
}
