// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalureserve.h"

#include <algorithm>
#include <mutex>

namespace
{

// Kept room, with the drawings ended since it was given back.
template <class V> struct Garde {
    V v;
    int age;
};

struct Stock {
    std::mutex verrou;
    std::vector<Garde<std::vector<QPointF>>> points;
    std::vector<Garde<QVector<QPointF>>> lignes;
};

// Never deleted: a drawing thread may still give room back while the
// process's statics go.
Stock &stock()
{
    static Stock *s = new Stock;
    return *s;
}

template <class V> size_t octets(const V &v)
{
    return size_t(v.capacity()) * sizeof(QPointF);
}

// The smallest kept with room for `n`, taken out of `g`; else the biggest,
// grown: kept room and new room of the same use would both be held at the
// peak (a load's lots, whose rings differ from one lot to the next); else
// a new one. A little more than `n` each time it is made, as the next
// picture's piece may have a few more points.
template <class V> V prends(std::vector<Garde<V>> &g, size_t n)
{
    auto meilleur = g.end(), plusGrand = g.end();
    for (auto k = g.begin(); k != g.end(); ++k) {
        const size_t c = size_t(k->v.capacity());
        if (c >= n && (meilleur == g.end() || c < size_t(meilleur->v.capacity())))
            meilleur = k;
        if (plusGrand == g.end() || c > size_t(plusGrand->v.capacity()))
            plusGrand = k;
    }
    V v;
    if (meilleur != g.end() || plusGrand != g.end()) {
        auto k = meilleur != g.end() ? meilleur : plusGrand;
        v = std::move(k->v);
        g.erase(k);
        v.clear();
    }
    if (size_t(v.capacity()) < n) {
        V().swap(v); // not copied: it is empty
        v.reserve(decltype(v.size())(n + n / 64));
    }
    return v;
}

// Two drawings, not one: a view change may start a job that a second one,
// for the same view, replaces; the second would otherwise find the room of
// the first gone.
template <class V> void oublieInutiles(std::vector<Garde<V>> &g)
{
    g.erase(std::remove_if(g.begin(), g.end(), [](const Garde<V> &k) { return k.age >= 2; }),
            g.end());
    for (Garde<V> &k : g)
        ++k.age;
}

} // namespace

namespace reserve
{

std::vector<QPointF> points(size_t n)
{
    Stock &s = stock();
    std::lock_guard<std::mutex> l(s.verrou);
    return prends(s.points, n);
}

QVector<QPointF> lignes(size_t n)
{
    Stock &s = stock();
    std::lock_guard<std::mutex> l(s.verrou);
    return prends(s.lignes, n);
}

void rends(std::vector<QPointF> &&v)
{
    if (v.capacity() == 0)
        return;
    Stock &s = stock();
    std::lock_guard<std::mutex> l(s.verrou);
    s.points.push_back({std::move(v), 0});
}

void rends(QVector<QPointF> &&v)
{
    if (v.capacity() == 0 || !v.isDetached())
        return;
    Stock &s = stock();
    std::lock_guard<std::mutex> l(s.verrou);
    s.lignes.push_back({std::move(v), 0});
}

void vieillit()
{
    Stock &s = stock();
    std::lock_guard<std::mutex> l(s.verrou);
    oublieInutiles(s.points);
    oublieInutiles(s.lignes);
}

size_t gardes()
{
    Stock &s = stock();
    std::lock_guard<std::mutex> l(s.verrou);
    size_t n = 0;
    for (const auto &k : s.points)
        n += octets(k.v);
    for (const auto &k : s.lignes)
        n += octets(k.v);
    return n;
}

} // namespace reserve
