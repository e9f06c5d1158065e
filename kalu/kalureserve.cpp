// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalureserve.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>

#include "zolplat.h"

namespace
{

// Kept room, with the drawings ended since it was given back.
template <class V> struct Garde {
    V v;
    int age;
};

// An image's memory, handed to the image that lives in it.
struct Bloc {
    uchar *pixels;
    size_t taille;
};

struct Stock {
    std::mutex verrou;
    std::vector<Garde<std::vector<QPointF>>> points;
    std::vector<Garde<QVector<QPointF>>> lignes;
    std::vector<Garde<Bloc *>> blocs;
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
template <class V, class F> void oublieInutiles(std::vector<Garde<V>> &g, F lache)
{
    g.erase(std::remove_if(g.begin(), g.end(),
                           [&](Garde<V> &k) {
                               if (k.age < 2)
                                   return false;
                               lache(k.v);
                               return true;
                           }),
            g.end());
    for (Garde<V> &k : g)
        ++k.age;
}

void libere(Bloc *b)
{
    std::free(b->pixels);
    delete b;
}

// The most pictures' blocks kept at once: those of the pictures a plot
// holds, with room for a resize's.
const size_t BLOCS_MAX = 8;

// An image's last copy went: its memory is kept, the oldest kept going
// past the bound.
void rendBloc(void *info)
{
    Stock &s = stock();
    std::lock_guard<std::mutex> l(s.verrou);
    if (s.blocs.size() >= BLOCS_MAX) {
        libere(s.blocs.front().v);
        s.blocs.erase(s.blocs.begin());
    }
    s.blocs.push_back({static_cast<Bloc *>(info), 0});
}

// A kept block of exactly `taille` bytes (the pictures of one plot are of
// one size), else a new one, its pages had at once.
Bloc *bloc(size_t taille)
{
    {
        Stock &s = stock();
        std::lock_guard<std::mutex> l(s.verrou);
        for (auto k = s.blocs.begin(); k != s.blocs.end(); ++k)
            if (k->v->taille == taille) {
                Bloc *b = k->v;
                s.blocs.erase(k);
                return b;
            }
    }
    uchar *pixels = static_cast<uchar *>(std::malloc(taille));
    if (pixels == nullptr)
        return nullptr;
    zolplat_peuple(pixels, taille);
    Bloc *b = new (std::nothrow) Bloc{pixels, taille};
    if (b == nullptr)
        std::free(pixels);
    return b;
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

QImage image(QSize taille, QImage::Format format)
{
    const int profondeur = QImage::toPixelFormat(format).bitsPerPixel();
    if (taille.isEmpty() || format == QImage::Format_Invalid || profondeur < 8)
        return QImage(taille, format);
    const qsizetype ligne = (qsizetype(taille.width()) * profondeur + 31) / 32 * 4;
    if (ligne > std::numeric_limits<int>::max() / 2)
        return QImage(taille, format);
    Bloc *b = bloc(size_t(ligne) * size_t(taille.height()));
    if (b == nullptr)
        return QImage();
    QImage i(b->pixels, taille.width(), taille.height(), int(ligne), format, rendBloc, b);
    if (i.isNull())
        libere(b);
    return i;
}

QImage copie(const QImage &source)
{
    QImage i = image(source.size(), source.format());
    if (i.isNull() || i.bytesPerLine() != source.bytesPerLine())
        return source.copy();
    std::memcpy(i.bits(), source.constBits(), size_t(source.sizeInBytes()));
    i.setDevicePixelRatio(source.devicePixelRatio());
    i.setDotsPerMeterX(source.dotsPerMeterX());
    i.setDotsPerMeterY(source.dotsPerMeterY());
    return i;
}

void vieillit()
{
    Stock &s = stock();
    std::lock_guard<std::mutex> l(s.verrou);
    const auto rien = [](const auto &) {}; // room goes with its vector
    oublieInutiles(s.points, rien);
    oublieInutiles(s.lignes, rien);
    oublieInutiles(s.blocs, libere);
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
    for (const auto &k : s.blocs)
        n += k.v->taille;
    return n;
}

} // namespace reserve
