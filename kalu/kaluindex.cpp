// SPDX-License-Identifier: GPL-3.0-or-later
#include "kaluindex.h"

#include <algorithm>
#include <cmath>

namespace
{
const int CELLULES_MAX = 16; // beyond, a curve is one of the big ones
}

int Index::cx(double x) const
{
    return std::max(0, std::min(nx - 1, int(std::floor((x - x0) / dx))));
}

int Index::cy(double y) const
{
    return std::max(0, std::min(ny - 1, int(std::floor((y - y0) / dy))));
}

Index::Index(const Scene &scene)
{
    const std::vector<Scene::Element> &el = scene.elements;
    double xa = 0, xb = 0, ya = 0, yb = 0;
    bool premier = true;
    size_t n = 0;
    for (const Scene::Element &e : el) {
        if (!e.donnees)
            continue;
        if (premier)
            xa = e.cles.lower, xb = e.cles.upper, ya = e.valeurs.lower, yb = e.valeurs.upper;
        xa = std::min(xa, e.cles.lower), xb = std::max(xb, e.cles.upper);
        ya = std::min(ya, e.valeurs.lower), yb = std::max(yb, e.valeurs.upper);
        premier = false;
        ++n;
    }
    if (n == 0)
        return;
    const int cote = std::max(1, std::min(2048, int(std::sqrt(double(n) / 4))));
    nx = ny = cote;
    x0 = xa, y0 = ya;
    dx = xb > xa ? (xb - xa) / cote : 1;
    dy = yb > ya ? (yb - ya) / cote : 1;
    debut.assign(size_t(cote) * cote + 1, 0);
    auto cellules = [&](const Scene::Element &e, int &i0, int &i1, int &j0, int &j1) {
        i0 = cx(e.cles.lower), i1 = cx(e.cles.upper);
        j0 = cy(e.valeurs.lower), j1 = cy(e.valeurs.upper);
        return (i1 - i0 + 1) * (j1 - j0 + 1) <= CELLULES_MAX;
    };
    int i0, i1, j0, j1;
    for (const Scene::Element &e : el)
        if (e.donnees && cellules(e, i0, i1, j0, j1))
            for (int j = j0; j <= j1; ++j)
                for (int i = i0; i <= i1; ++i)
                    ++debut[size_t(j) * cote + i + 1];
    for (size_t k = 1; k < debut.size(); ++k)
        debut[k] += debut[k - 1];
    rangs.resize(size_t(debut.back()));
    std::vector<int> place(debut.begin(), debut.end() - 1);
    for (size_t r = 0; r < el.size(); ++r) {
        const Scene::Element &e = el[r];
        if (!e.donnees)
            continue;
        if (!cellules(e, i0, i1, j0, j1)) {
            grands.push_back(int(r));
            continue;
        }
        for (int j = j0; j <= j1; ++j)
            for (int i = i0; i <= i1; ++i)
                rangs[size_t(place[size_t(j) * cote + i]++)] = int(r);
    }
}

std::vector<int> Index::proches(double xa, double xb, double ya, double yb) const
{
    std::vector<int> r(grands);
    if (nx == 0)
        return r;
    const int i0 = cx(std::min(xa, xb)), i1 = cx(std::max(xa, xb));
    const int j0 = cy(std::min(ya, yb)), j1 = cy(std::max(ya, yb));
    for (int j = j0; j <= j1; ++j)
        for (int i = i0; i <= i1; ++i) {
            const size_t c = size_t(j) * nx + i;
            r.insert(r.end(), rangs.begin() + debut[c], rangs.begin() + debut[c + 1]);
        }
    return r;
}
