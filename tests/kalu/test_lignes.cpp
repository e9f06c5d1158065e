// SPDX-License-Identifier: GPL-3.0-or-later
//
// A curve's lines computed from a Vue, off the axes, are the library's own
// lines for that curve to the last bit (NaN for NaN), the library being
// asked through a real plot: every pair and triple of regions around the
// view, crossings, rings, lines along the axes, 1e300, NaN, reversed axes,
// several pens; then thousands of random curves on worker threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <thread>

#include "kalulignes.h"

namespace
{

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double INF = std::numeric_limits<double>::infinity();

// The library's computation, opened up.
class CourbeOuverte : public QCPCurve
{
  public:
    using QCPCurve::getCurveLines;
    using QCPCurve::QCPCurve;
};

// A plot whose axis rectangle has an odd size away from the corners, so
// that neither scale nor offset is round.
struct Banc {
    QCustomPlot plot;
    CourbeOuverte *courbe;

    Banc()
    {
        plot.setViewport(QRect(0, 0, 800, 600));
        plot.axisRect()->setAutoMargins(QCP::msNone);
        plot.axisRect()->setMargins(QMargins(53, 17, 29, 41));
        courbe = new CourbeOuverte(plot.xAxis, plot.yAxis);
        plot.replot();
    }
    void cadre(QCPRange x, QCPRange y, bool xInverse, bool yInverse)
    {
        plot.xAxis->setRange(x);
        plot.yAxis->setRange(y);
        plot.xAxis->setRangeReversed(xInverse);
        plot.yAxis->setRangeReversed(yInverse);
    }
    Vue vue() const // what Vue::de will read
    {
        Vue v;
        v.x = plot.xAxis->range();
        v.y = plot.yAxis->range();
        v.xInverse = plot.xAxis->rangeReversed();
        v.yInverse = plot.yAxis->rangeReversed();
        v.rect = plot.axisRect()->rect();
        v.taille = plot.viewport().size();
        return v;
    }
    // A container of its own for each curve: earlier ones may still be read.
    void donne(const QVector<QPointF> &points)
    {
        auto c = QSharedPointer<QCPCurveDataContainer>::create();
        for (const QPointF &p : points)
            c->add(QCPCurveData(c->size(), p.x(), p.y()));
        courbe->setData(c);
    }
    QVector<QPointF> bibliotheque(double largeur) const
    {
        QVector<QPointF> l;
        courbe->getCurveLines(&l, QCPDataRange(0, courbe->dataCount()), largeur);
        return l;
    }
    // The corners of the library's region 5, from its axes.
    void bords(double largeur, double *b) const
    {
        const double m = qMax(1.0, largeur * 0.75);
        int i = 0;
        for (const QCPAxis *a : {plot.xAxis, plot.yAxis})
            for (double r : {a->range().lower, a->range().upper}) {
                const double d = i % 2 ? m : -m;
                b[i++] = a->pixelToCoord(a->coordToPixel(r) + d * a->pixelOrientation());
            }
    }
};

bool memeBits(double a, double b)
{
    std::uint64_t u, v;
    std::memcpy(&u, &a, sizeof u);
    std::memcpy(&v, &b, sizeof v);
    return std::isnan(a) || std::isnan(b) ? std::isnan(a) && std::isnan(b) : u == v;
}

std::string ecrit(const QPointF &p)
{
    return QString("(%1, %2)").arg(p.x(), 0, 'g', 17).arg(p.y(), 0, 'g', 17).toStdString();
}

::testing::AssertionResult pareilles(const QVector<QPointF> &attendu,
                                     const QVector<QPointF> &obtenu)
{
    if (attendu.size() != obtenu.size())
        return ::testing::AssertionFailure()
               << attendu.size() << " points expected, " << obtenu.size() << " computed";
    for (int i = 0; i < attendu.size(); ++i)
        if (!memeBits(attendu[i].x(), obtenu[i].x()) || !memeBits(attendu[i].y(), obtenu[i].y()))
            return ::testing::AssertionFailure()
                   << "point " << i << ": expected " << ecrit(attendu[i]) << ", computed "
                   << ecrit(obtenu[i]);
    return ::testing::AssertionSuccess();
}

// Ours, given the caller's box (every key and value that is not NaN) or not.
void calcule(const Vue &v, const QCPCurveDataContainer &d, double largeur, bool boite,
             QVector<QPointF> *l)
{
    QCPRange c, w; // set field by field: QCPRange's constructor orders its bounds
    c.lower = w.lower = INF;
    c.upper = w.upper = -INF;
    for (auto p = d.constBegin(); p != d.constEnd(); ++p) {
        if (!std::isnan(p->key))
            c.lower = qMin(c.lower, p->key), c.upper = qMax(c.upper, p->key);
        if (!std::isnan(p->value))
            w.lower = qMin(w.lower, p->value), w.upper = qMax(w.upper, p->value);
    }
    lignesCourbe(v, d, largeur, l, boite ? &c : nullptr, boite ? &w : nullptr);
}

// The library's lines against ours, both ways, in a buffer still holding the
// previous case's lines.
::testing::AssertionResult compare(Banc &b, const QVector<QPointF> &points, double largeur,
                                   QVector<QPointF> &tampon)
{
    b.donne(points);
    const QVector<QPointF> attendu = b.bibliotheque(largeur);
    for (bool boite : {false, true}) {
        calcule(b.vue(), *b.courbe->data(), largeur, boite, &tampon);
        if (::testing::AssertionResult r = pareilles(attendu, tampon); !r)
            return r << (boite ? " (with the box)" : " (no box)");
    }
    return ::testing::AssertionSuccess();
}

// Points in the nine regions around region 5 (1 4 7 / 2 5 8 / 3 6 9, keys
// rightwards, values up), from a hair to a million widths away, or inside,
// sometimes exactly on a border.
struct Tirage {
    std::mt19937_64 g;
    double b[4]; // key min, key max, value min, value max

    explicit Tirage(std::uint64_t graine) : g(graine) {}
    double u(double a, double c) { return std::uniform_real_distribution<double>(a, c)(g); }
    double coord(int rang, double lo, double hi)
    {
        const double w = hi - lo;
        const double loin = w * (g() % 3 == 0 ? u(0, 0.01) : std::pow(10.0, u(-1, 6)));
        if (rang != 1)
            return rang == 0 ? lo - loin : hi + loin;
        return g() % 8 == 0 ? (g() % 2 ? lo : hi) : lo + u(0, 1) * w;
    }
    QPointF point(int region)
    {
        const double x = coord((region - 1) / 3, b[0], b[1]);
        return {x, coord(2 - (region - 1) % 3, b[2], b[3])};
    }
};

TEST(Lignes, EveryPathThroughTheNineRegions)
{
    const struct {
        QCPRange x, y;
        bool xInverse, yInverse;
    } axes[] = {{{0, 10}, {-5, 5}, false, false},
                {{-3.3, 1e4 / 7}, {2.5, 2.75}, true, false},
                {{1e6, 1e6 + 0.125}, {-1e-3, 3e-3}, false, true},
                {{-7e5, 2e5}, {4e7, 4.1e7}, true, true}};
    Banc b;
    QVector<QPointF> tampon;
    int cas = 0;
    for (const auto &a : axes)
        for (double largeur : {1.0, 5.0}) {
            b.cadre(a.x, a.y, a.xInverse, a.yInverse);
            Tirage t(++cas);
            b.bords(largeur, t.b);
            for (int r1 = 1; r1 <= 9; ++r1)
                for (int r2 = 1; r2 <= 9; ++r2) {
                    for (int k = 0; k < 4; ++k)
                        ASSERT_TRUE(compare(b, {t.point(r1), t.point(r2)}, largeur, tampon))
                            << r1 << r2 << " pen " << largeur;
                    for (int r3 = 1; r3 <= 9; ++r3)
                        ASSERT_TRUE(
                            compare(b, {t.point(r1), t.point(r2), t.point(r3)}, largeur, tampon))
                            << r1 << r2 << r3 << " pen " << largeur;
                }

            // Along the axes or within a hair of them (the library's fuzzy
            // parallel tests), and through the corners of region 5 (its case
            // of more than two crossings).
            const double x0 = t.b[0], x1 = t.b[1], y0 = t.b[2], y1 = t.b[3];
            const double xm = (x0 + x1) / 2, ym = (y0 + y1) / 2, w = x1 - x0, h = y1 - y0;
            for (const QVector<QPointF> &d :
                 QVector<QVector<QPointF>>{{{xm, y1 + h}, {xm, y0 - h}},
                                           {{x0 - w, ym}, {x1 + w, ym}},
                                           {{xm, y1 + h}, {xm + w * 1e-15, y0 - h}},
                                           {{x0 - w, ym}, {x1 + w, ym - h * 3e-15}},
                                           {{x0, y1 + h}, {x0, y0 - h}},
                                           {{x0 - w, y0}, {x1 + w, y0}},
                                           {{x0 - w, y1 + h}, {x1 + w, y0 - h}},
                                           {{x1 + w, y1 + h}, {x0 - w, y0 - h}},
                                           {{x0 - w, y1 + h}, {x0, y1}, {x1, y0}, {x1 + w, y0 - h}},
                                           {{x0 - w, y0 - h}, {x1 + w, y1 + h}, {x1 + w, y0 - h}}})
                ASSERT_TRUE(compare(b, d, largeur, tampon)) << "pen " << largeur;
        }
}

TEST(Lignes, RingsExtremesNaNAndTheBuffer)
{
    const double G = 1e300, M = std::numeric_limits<double>::max();
    const QVector<QVector<QPointF>> formes = {
        {},
        {{5, 0}},
        {{50, 50}},
        {{NaN, NaN}},
        {{1, 1}, {9, -4}},
        {{-20, 0}, {30, 0}},
        {{1, 1}, {1, 1}},
        // rings: inside, round the view, across it, diamond, square around it
        {{1, 1}, {9, 1}, {9, 4}, {1, 4}, {1, 1}},
        {{-20, -20}, {30, -20}, {30, 20}, {-20, 20}, {-20, -20}},
        {{-5, -2}, {15, -2}, {15, 2}, {-5, 2}, {-5, -2}},
        {{-1, 3}, {5, 9}, {11, 3}, {5, -9}, {-1, 3}},
        {{20, 20}, {-20, 20}, {-20, -20}, {20, -20}, {20, 20}},
        // the closing segment entering the view, leaving it, crossing it
        {{-20, 0}, {5, 0}, {6, 1}},
        {{5, 0}, {6, 1}, {40, 30}},
        {{-20, -20}, {-20, 30}, {30, 30}},
        {{-20, 12}, {4, 30}, {30, -30}, {-30, -2}},
        // huge and infinite coordinates
        {{-G, -G}, {G, G}},
        {{-G, 0}, {G, 0}, {5, G}, {5, -G}},
        {{G, G}, {-G, G}, {-G, -G}, {G, -G}, {G, G}},
        {{5, 0}, {G, 1}, {-G, -1}, {5, 0}},
        {{2, 2}, {1e150, -G}, {-1e299, 3}},
        {{M, 0}, {-M, 1}},
        {{INF, 0}, {5, 1}, {2, -INF}},
        // NaN in a key, a value, both; first, middle, last
        {{NaN, 1}, {3, 1}, {4, 2}},
        {{3, 1}, {NaN, 20}, {4, 2}, {40, NaN}},
        {{-20, 1}, {5, NaN}, {30, 1}, {NaN, NaN}},
        {{3, 1}, {4, 2}, {1e9, NaN}},
        {{NaN, -30}, {-20, NaN}, {NaN, NaN}, {5, 0}},
        {{NaN, 0}, {NaN, 1}},
    };
    Banc b;
    QVector<QPointF> tampon;
    for (int sens = 0; sens < 4; ++sens)
        for (double largeur : {1.0, 5.0, 0.0, 12.5}) {
            b.cadre(QCPRange(0, 10), QCPRange(-5, 5), sens & 1, sens & 2);
            for (QVector<QPointF> f : formes) {
                ASSERT_TRUE(compare(b, f, largeur, tampon)) << f.size() << " points " << sens;
                std::reverse(f.begin(), f.end());
                ASSERT_TRUE(compare(b, f, largeur, tampon)) << f.size() << " points back";
            }
        }

    // The caller's buffer is refilled in place, both ways.
    b.cadre(QCPRange(0, 10), QCPRange(-5, 5), false, false);
    b.donne({{1, 1}, {9, -4}, {5, 4.9}, {0.01, NaN}});
    tampon = QVector<QPointF>(1000, QPointF(7, 7));
    const QPointF *avant = tampon.constData();
    for (bool boite : {true, false}) {
        calcule(b.vue(), *b.courbe->data(), 1, boite, &tampon);
        EXPECT_EQ(tampon.constData(), avant);
        EXPECT_TRUE(pareilles(b.bibliotheque(1), tampon));
    }
    // A box with a NaN bound is no short cut.
    const QCPRange cles(0, 9), valeurs(NaN, 5);
    lignesCourbe(b.vue(), *b.courbe->data(), 1, &tampon, &cles, &valeurs);
    EXPECT_TRUE(pareilles(b.bibliotheque(1), tampon));
    lignesCourbe(b.vue(), *b.courbe->data(), 1, nullptr); // no buffer, nothing to do
}

TEST(Lignes, RandomCurvesOnWorkerThreads)
{
    // The library's lines on this thread, then ours from the same views and
    // containers on two workers at once, and the distance of a point in
    // the view to them, measured as they are made.
    struct Cas {
        Vue vue;
        double largeur;
        QSharedPointer<QCPCurveDataContainer> donnees;
        QVector<QPointF> attendu;
        QPointF pos;
        double depuis, distance;
    };
    std::vector<Cas> tous;
    Banc b;
    Tirage t(20191007);
    for (int n = 0; n < 3000; ++n) {
        const double x = t.u(-1e4, 1e4), y = t.u(-1e4, 1e4);
        b.cadre(QCPRange(x, x + std::pow(10.0, t.u(-6, 6))),
                QCPRange(y, y + std::pow(10.0, t.u(-6, 6))), n & 1, n & 2);
        const double largeur = n % 3 == 0 ? 1 : n % 3 == 1 ? 5 : t.u(0, 8);
        b.bords(largeur, t.b);
        QVector<QPointF> points;
        for (int i = 1 + int(t.g() % 40); i > 0; --i) {
            QPointF p = t.point(1 + int(t.g() % 9));
            const int quoi = int(t.g() % 24);
            if (quoi == 0 || quoi == 1)
                (quoi ? p.ry() : p.rx()) = NaN;
            else if (quoi == 2)
                p *= 1e290;
            else if (quoi <= 5 && !points.isEmpty()) { // along an axis, or a hair off
                const double poil = t.g() % 2 ? 0 : 1e-15 * double(1 + t.g() % 8);
                if (quoi == 3)
                    p.rx() = points.last().x() + poil * (t.b[1] - t.b[0]);
                else
                    p.ry() = points.last().y() + poil * (t.b[3] - t.b[2]);
            }
            points.append(p);
        }
        if (t.g() % 4 == 0)
            points.append(points.first()); // a closed ring
        b.donne(points);
        const QVector<QPointF> lignes = b.bibliotheque(largeur);
        const QPointF pos(t.u(53, 771), t.u(17, 559));
        // From the nearest point, as the library starts, or from nothing.
        const double depuis = n % 2 ? t.u(0, 100) : std::numeric_limits<double>::max();
        double distance = depuis;
        for (int i = 0; i + 1 < lignes.size(); ++i)
            distance = std::min(distance,
                                QCPVector2D(pos).distanceSquaredToLine(lignes[i], lignes[i + 1]));
        tous.push_back({b.vue(), largeur, b.courbe->data(), lignes, pos, depuis, distance});
    }

    std::string fautes[2];
    auto travail = [&](int k) {
        QVector<QPointF> tampon;
        for (size_t n = k; n < tous.size() && fautes[k].empty(); n += 2)
            for (bool boite : {false, true}) {
                calcule(tous[n].vue, *tous[n].donnees, tous[n].largeur, boite, &tampon);
                if (const auto r = pareilles(tous[n].attendu, tampon); !r && fautes[k].empty())
                    fautes[k] = "curve " + std::to_string(n) + ": " + r.message();
                const Cas &c = tous[n];
                if (!memeBits(c.distance,
                              distanceLignes(c.vue, *c.donnees, c.largeur, c.pos, c.depuis)) &&
                    fautes[k].empty())
                    fautes[k] = "curve " + std::to_string(n) + ": another distance";
            }
    };
    std::thread a(travail, 0), c(travail, 1);
    a.join();
    c.join();
    EXPECT_EQ(fautes[0], "");
    EXPECT_EQ(fautes[1], "");
}

} // namespace
