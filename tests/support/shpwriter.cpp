// SPDX-License-Identifier: GPL-3.0-or-later
#include "shpwriter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace shp
{

void bigEndian(Bytes &b, int v)
{
    unsigned u = static_cast<unsigned>(v);
    for (int s = 24; s >= 0; s -= 8)
        b.push_back(static_cast<unsigned char>(u >> s));
}

void littleEndian(Bytes &b, int v)
{
    unsigned u = static_cast<unsigned>(v);
    for (int s = 0; s <= 24; s += 8)
        b.push_back(static_cast<unsigned char>(u >> s));
}

void littleEndian(Bytes &b, double v)
{
    unsigned char o[8];
    memcpy(o, &v, 8); // the tests run on little-endian machines
    b.insert(b.end(), o, o + 8);
}

Bytes header(int shapeType, size_t fileBytes, double xmin, double ymin, double xmax, double ymax)
{
    Bytes b;
    bigEndian(b, 9994);
    for (int i = 0; i < 5; ++i)
        bigEndian(b, 0);
    bigEndian(b, static_cast<int>(fileBytes / 2));
    littleEndian(b, 1000);
    littleEndian(b, shapeType);
    for (double v : {xmin, ymin, xmax, ymax, 0.0, 0.0, 0.0, 0.0})
        littleEndian(b, v);
    return b;
}

Bytes content(const Record &r)
{
    Bytes b;
    littleEndian(b, r.type);
    if (r.type == 0)
        return b;
    double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    bool premier = true;
    int npoints = 0;
    for (const Part &p : r.parts) {
        for (const Point &pt : p) {
            if (premier || pt.first < xmin)
                xmin = pt.first;
            if (premier || pt.first > xmax)
                xmax = pt.first;
            if (premier || pt.second < ymin)
                ymin = pt.second;
            if (premier || pt.second > ymax)
                ymax = pt.second;
            premier = false;
        }
        npoints += static_cast<int>(p.size());
    }
    for (double v : {xmin, ymin, xmax, ymax})
        littleEndian(b, v);
    littleEndian(b, static_cast<int>(r.parts.size()));
    littleEndian(b, npoints);
    int debut = 0;
    for (const Part &p : r.parts) {
        littleEndian(b, debut);
        debut += static_cast<int>(p.size());
    }
    for (const Part &p : r.parts)
        for (const Point &pt : p) {
            littleEndian(b, pt.first);
            littleEndian(b, pt.second);
        }
    return b;
}

Bytes record(int number, const Record &r)
{
    return withHeader(number, content(r));
}

Bytes rawContent(int type, int numParts, int numPoints, const std::vector<int> &starts,
                 const std::vector<Point> &points)
{
    Bytes b;
    littleEndian(b, type);
    for (int i = 0; i < 4; ++i)
        littleEndian(b, 0.0);
    littleEndian(b, numParts);
    littleEndian(b, numPoints);
    for (int s : starts)
        littleEndian(b, s);
    for (const Point &pt : points) {
        littleEndian(b, pt.first);
        littleEndian(b, pt.second);
    }
    return b;
}

Bytes withHeader(int number, const Bytes &content)
{
    Bytes b;
    bigEndian(b, number);
    bigEndian(b, static_cast<int>(content.size() / 2));
    append(b, content);
    return b;
}

void append(Bytes &a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
}

Bytes file(int shapeType, const std::vector<Record> &records)
{
    Bytes corps;
    int n = 1;
    for (const Record &r : records) {
        Bytes rec = record(n++, r);
        corps.insert(corps.end(), rec.begin(), rec.end());
    }
    Bytes b = header(shapeType, 100 + corps.size());
    b.insert(b.end(), corps.begin(), corps.end());
    return b;
}

bool write(const std::string &path, const Bytes &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

std::string scratchPath(const std::string &name)
{
    const char *base = getenv("KALU_SCRATCH");
    return std::string(base ? base : "/tmp") + "/" + name;
}

} // namespace shp
