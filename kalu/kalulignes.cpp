// SPDX-License-Identifier: GPL-3.0-or-later
//
// The library's curve-to-lines computation (QCPCurve::getCurveLines and the
// helpers it calls) with its axes replaced by a Vue. The key axis is the
// bottom one and the value axis the left one, so where the library asks its
// axes, here:
//   keyAxis->coordToPixel    vue.pixelX       keyAxis->pixelToCoord    vue.cleX
//   valueAxis->coordToPixel  vue.pixelY       valueAxis->pixelToCoord  vue.valeurY
//   coordsToPixels(k, v)     vue.pixel(k, v)  orientation()            Qt::Horizontal
// Every expression keeps the library's operands and their order: the results
// are compared with the library's bit for bit, and floating point forgives
// no reordering. The library's own names for the quantities are kept for the
// same reason, so each line can be read against its original.
#include "kalulignes.h"

#include <algorithm>
#include <limits>
#include <type_traits>
#include <utility>

// A copy is right only for the release it was copied from: another one must
// not build until the copy has been compared with it (entry B6 of the
// register in kaluacces.h).
static_assert(QCUSTOMPLOT_VERSION == 0x020100,
              "kalulignes.cpp copies QCPCurve::getCurveLines and its helpers from QCustomPlot "
              "2.1.0 (entry B6 of the register in kalu/kaluacces.h): compare each function "
              "below with the new release's, run kalu_test_lignes and kalu_test_courbe, go "
              "through the rest of the register, then change the version checked here");

namespace
{

// Region 5 of the library's numbering, the rectangle around the view; the
// others surround it:   1 4 7
//                       2 5 8
//                       3 6 9   (keys to the right, values upwards)
const int DEDANS = 5;

// A handful of points kept on the stack. The library makes a QVector for
// every list of corner points, an allocation for each segment that changes
// region; none holds more than four points.
struct Quelques {
    QPointF p[4];
    int n = 0;

    Quelques &operator<<(const QPointF &q)
    {
        Q_ASSERT(n < 4);
        p[n++] = q;
        return *this;
    }
    Quelques &operator<<(const Quelques &q)
    {
        for (int i = 0; i < q.n; ++i)
            *this << q.p[i];
        return *this;
    }
    void append(const QPointF &q) { *this << q; }
    const QPointF &last() const { return p[n - 1]; }
};

template <class Sortie> void ajoute(Sortie *lignes, const Quelques &q)
{
    for (int i = 0; i < q.n; ++i)
        lignes->append(q.p[i]);
}

// Takes the lines point after point as they come, and keeps the squared
// distance from `pos` to the nearest of their segments, as
// QCPCurve::pointDistance measures it over the lines it made.
struct Distance {
    QCPVector2D pos;
    QPointF dernier;
    bool vide = true;
    double minDistSqr;

    void append(const QPointF &p)
    {
        if (!vide && !loin(dernier, p)) {
            const double currentDistSqr = pos.distanceSquaredToLine(dernier, p);
            if (currentDistSqr < minDistSqr)
                minDistSqr = currentDistSqr;
        }
        dernier = p;
        vide = false;
    }

    // Whether the segment lies on one side of `pos` farther than the
    // nearest one yet, by more than rounding could make up: its distance
    // then can't be the smaller, and most of a long line's segments are
    // passed over without the library's measure.
    bool loin(const QPointF &a, const QPointF &b) const
    {
        const double ecart =
            std::max({std::min(a.x(), b.x()) - pos.x(), pos.x() - std::max(a.x(), b.x()),
                      std::min(a.y(), b.y()) - pos.y(), pos.y() - std::max(a.y(), b.y())});
        return ecart > 0 && ecart * ecart > minDistSqr * (1 + 1e-6) + 1e-9;
    }
};

// clang-format off
// The helpers below are laid out as the library lays them out, line for
// line, so that they can be compared with it side by side.

// QCPCurve::getRegion
int region(double key, double value, double keyMin, double valueMax, double keyMax, double valueMin)
{
  if (key < keyMin) // region 123
  {
    if (value > valueMax)
      return 1;
    else if (value < valueMin)
      return 3;
    else
      return 2;
  } else if (key > keyMax) // region 789
  {
    if (value > valueMax)
      return 7;
    else if (value < valueMin)
      return 9;
    else
      return 8;
  } else // region 456
  {
    if (value > valueMax)
      return 4;
    else if (value < valueMin)
      return 6;
    else
      return 5;
  }
}

// QCPCurve::getOptimizedPoint: where the segment between a point of region 5
// and one of `otherRegion` crosses the border of region 5, in pixels.
QPointF pointOptimise(const Vue &vue, int otherRegion, double otherKey, double otherValue, double key, double value, double keyMin, double valueMax, double keyMax, double valueMin)
{
  const double keyMinPx = vue.pixelX(keyMin);
  const double keyMaxPx = vue.pixelX(keyMax);
  const double valueMinPx = vue.pixelY(valueMin);
  const double valueMaxPx = vue.pixelY(valueMax);
  const double otherValuePx = vue.pixelY(otherValue);
  const double valuePx = vue.pixelY(value);
  const double otherKeyPx = vue.pixelX(otherKey);
  const double keyPx = vue.pixelX(key);
  double intersectKeyPx = keyMinPx; // the library's fail-safe
  double intersectValuePx = valueMinPx;
  switch (otherRegion)
  {
    case 1: // top and left edge
    {
      intersectValuePx = valueMaxPx;
      intersectKeyPx = otherKeyPx + (keyPx-otherKeyPx)/(valuePx-otherValuePx)*(intersectValuePx-otherValuePx);
      if (intersectKeyPx < qMin(keyMinPx, keyMaxPx) || intersectKeyPx > qMax(keyMinPx, keyMaxPx)) // not the top edge, so the left one
      {
        intersectKeyPx = keyMinPx;
        intersectValuePx = otherValuePx + (valuePx-otherValuePx)/(keyPx-otherKeyPx)*(intersectKeyPx-otherKeyPx);
      }
      break;
    }
    case 2: // left edge
    {
      intersectKeyPx = keyMinPx;
      intersectValuePx = otherValuePx + (valuePx-otherValuePx)/(keyPx-otherKeyPx)*(intersectKeyPx-otherKeyPx);
      break;
    }
    case 3: // bottom and left edge
    {
      intersectValuePx = valueMinPx;
      intersectKeyPx = otherKeyPx + (keyPx-otherKeyPx)/(valuePx-otherValuePx)*(intersectValuePx-otherValuePx);
      if (intersectKeyPx < qMin(keyMinPx, keyMaxPx) || intersectKeyPx > qMax(keyMinPx, keyMaxPx))
      {
        intersectKeyPx = keyMinPx;
        intersectValuePx = otherValuePx + (valuePx-otherValuePx)/(keyPx-otherKeyPx)*(intersectKeyPx-otherKeyPx);
      }
      break;
    }
    case 4: // top edge
    {
      intersectValuePx = valueMaxPx;
      intersectKeyPx = otherKeyPx + (keyPx-otherKeyPx)/(valuePx-otherValuePx)*(intersectValuePx-otherValuePx);
      break;
    }
    case 5:
    {
      break;
    }
    case 6: // bottom edge
    {
      intersectValuePx = valueMinPx;
      intersectKeyPx = otherKeyPx + (keyPx-otherKeyPx)/(valuePx-otherValuePx)*(intersectValuePx-otherValuePx);
      break;
    }
    case 7: // top and right edge
    {
      intersectValuePx = valueMaxPx;
      intersectKeyPx = otherKeyPx + (keyPx-otherKeyPx)/(valuePx-otherValuePx)*(intersectValuePx-otherValuePx);
      if (intersectKeyPx < qMin(keyMinPx, keyMaxPx) || intersectKeyPx > qMax(keyMinPx, keyMaxPx))
      {
        intersectKeyPx = keyMaxPx;
        intersectValuePx = otherValuePx + (valuePx-otherValuePx)/(keyPx-otherKeyPx)*(intersectKeyPx-otherKeyPx);
      }
      break;
    }
    case 8: // right edge
    {
      intersectKeyPx = keyMaxPx;
      intersectValuePx = otherValuePx + (valuePx-otherValuePx)/(keyPx-otherKeyPx)*(intersectKeyPx-otherKeyPx);
      break;
    }
    case 9: // bottom and right edge
    {
      intersectValuePx = valueMinPx;
      intersectKeyPx = otherKeyPx + (keyPx-otherKeyPx)/(valuePx-otherValuePx)*(intersectValuePx-otherValuePx);
      if (intersectKeyPx < qMin(keyMinPx, keyMaxPx) || intersectKeyPx > qMax(keyMinPx, keyMaxPx))
      {
        intersectKeyPx = keyMaxPx;
        intersectValuePx = otherValuePx + (valuePx-otherValuePx)/(keyPx-otherKeyPx)*(intersectKeyPx-otherKeyPx);
      }
      break;
    }
  }
  return {intersectKeyPx, intersectValuePx};
}

// QCPCurve::getOptimizedCornerPoints: the corners of region 5 a segment
// jumping over outer regions must go round, so that its folded copy does not
// cut through the view.
Quelques coinsOptimises(const Vue &vue, int prevRegion, int currentRegion, double prevKey, double prevValue, double key, double value, double keyMin, double valueMax, double keyMax, double valueMin)
{
  Quelques result;
  switch (prevRegion)
  {
    case 1:
    {
      switch (currentRegion)
      {
        case 2: { result << vue.pixel(keyMin, valueMax); break; }
        case 4: { result << vue.pixel(keyMin, valueMax); break; }
        case 3: { result << vue.pixel(keyMin, valueMax) << vue.pixel(keyMin, valueMin); break; }
        case 7: { result << vue.pixel(keyMin, valueMax) << vue.pixel(keyMax, valueMax); break; }
        case 6: { result << vue.pixel(keyMin, valueMax) << vue.pixel(keyMin, valueMin); result.append(result.last()); break; }
        case 8: { result << vue.pixel(keyMin, valueMax) << vue.pixel(keyMax, valueMax); result.append(result.last()); break; }
        case 9: { // in this case we need another distinction of cases: segment may pass below or above rect, requiring either bottom right or top left corner points
          if ((value-prevValue)/(key-prevKey)*(keyMin-key)+value < valueMin) // segment passes below R
          { result << vue.pixel(keyMin, valueMax) << vue.pixel(keyMin, valueMin); result.append(result.last()); result << vue.pixel(keyMax, valueMin); }
          else
          { result << vue.pixel(keyMin, valueMax) << vue.pixel(keyMax, valueMax); result.append(result.last()); result << vue.pixel(keyMax, valueMin); }
          break;
        }
      }
      break;
    }
    case 2:
    {
      switch (currentRegion)
      {
        case 1: { result << vue.pixel(keyMin, valueMax); break; }
        case 3: { result << vue.pixel(keyMin, valueMin); break; }
        case 4: { result << vue.pixel(keyMin, valueMax); result.append(result.last()); break; }
        case 6: { result << vue.pixel(keyMin, valueMin); result.append(result.last()); break; }
        case 7: { result << vue.pixel(keyMin, valueMax); result.append(result.last()); result << vue.pixel(keyMax, valueMax); break; }
        case 9: { result << vue.pixel(keyMin, valueMin); result.append(result.last()); result << vue.pixel(keyMax, valueMin); break; }
      }
      break;
    }
    case 3:
    {
      switch (currentRegion)
      {
        case 2: { result << vue.pixel(keyMin, valueMin); break; }
        case 6: { result << vue.pixel(keyMin, valueMin); break; }
        case 1: { result << vue.pixel(keyMin, valueMin) << vue.pixel(keyMin, valueMax); break; }
        case 9: { result << vue.pixel(keyMin, valueMin) << vue.pixel(keyMax, valueMin); break; }
        case 4: { result << vue.pixel(keyMin, valueMin) << vue.pixel(keyMin, valueMax); result.append(result.last()); break; }
        case 8: { result << vue.pixel(keyMin, valueMin) << vue.pixel(keyMax, valueMin); result.append(result.last()); break; }
        case 7: { // in this case we need another distinction of cases: segment may pass below or above rect, requiring either bottom right or top left corner points
          if ((value-prevValue)/(key-prevKey)*(keyMax-key)+value < valueMin) // segment passes below R
          { result << vue.pixel(keyMin, valueMin) << vue.pixel(keyMax, valueMin); result.append(result.last()); result << vue.pixel(keyMax, valueMax); }
          else
          { result << vue.pixel(keyMin, valueMin) << vue.pixel(keyMin, valueMax); result.append(result.last()); result << vue.pixel(keyMax, valueMax); }
          break;
        }
      }
      break;
    }
    case 4:
    {
      switch (currentRegion)
      {
        case 1: { result << vue.pixel(keyMin, valueMax); break; }
        case 7: { result << vue.pixel(keyMax, valueMax); break; }
        case 2: { result << vue.pixel(keyMin, valueMax); result.append(result.last()); break; }
        case 8: { result << vue.pixel(keyMax, valueMax); result.append(result.last()); break; }
        case 3: { result << vue.pixel(keyMin, valueMax); result.append(result.last()); result << vue.pixel(keyMin, valueMin); break; }
        case 9: { result << vue.pixel(keyMax, valueMax); result.append(result.last()); result << vue.pixel(keyMax, valueMin); break; }
      }
      break;
    }
    case 5:
    {
      switch (currentRegion)
      {
        case 1: { result << vue.pixel(keyMin, valueMax); break; }
        case 7: { result << vue.pixel(keyMax, valueMax); break; }
        case 9: { result << vue.pixel(keyMax, valueMin); break; }
        case 3: { result << vue.pixel(keyMin, valueMin); break; }
      }
      break;
    }
    case 6:
    {
      switch (currentRegion)
      {
        case 3: { result << vue.pixel(keyMin, valueMin); break; }
        case 9: { result << vue.pixel(keyMax, valueMin); break; }
        case 2: { result << vue.pixel(keyMin, valueMin); result.append(result.last()); break; }
        case 8: { result << vue.pixel(keyMax, valueMin); result.append(result.last()); break; }
        case 1: { result << vue.pixel(keyMin, valueMin); result.append(result.last()); result << vue.pixel(keyMin, valueMax); break; }
        case 7: { result << vue.pixel(keyMax, valueMin); result.append(result.last()); result << vue.pixel(keyMax, valueMax); break; }
      }
      break;
    }
    case 7:
    {
      switch (currentRegion)
      {
        case 4: { result << vue.pixel(keyMax, valueMax); break; }
        case 8: { result << vue.pixel(keyMax, valueMax); break; }
        case 1: { result << vue.pixel(keyMax, valueMax) << vue.pixel(keyMin, valueMax); break; }
        case 9: { result << vue.pixel(keyMax, valueMax) << vue.pixel(keyMax, valueMin); break; }
        case 2: { result << vue.pixel(keyMax, valueMax) << vue.pixel(keyMin, valueMax); result.append(result.last()); break; }
        case 6: { result << vue.pixel(keyMax, valueMax) << vue.pixel(keyMax, valueMin); result.append(result.last()); break; }
        case 3: { // in this case we need another distinction of cases: segment may pass below or above rect, requiring either bottom right or top left corner points
          if ((value-prevValue)/(key-prevKey)*(keyMax-key)+value < valueMin) // segment passes below R
          { result << vue.pixel(keyMax, valueMax) << vue.pixel(keyMax, valueMin); result.append(result.last()); result << vue.pixel(keyMin, valueMin); }
          else
          { result << vue.pixel(keyMax, valueMax) << vue.pixel(keyMin, valueMax); result.append(result.last()); result << vue.pixel(keyMin, valueMin); }
          break;
        }
      }
      break;
    }
    case 8:
    {
      switch (currentRegion)
      {
        case 7: { result << vue.pixel(keyMax, valueMax); break; }
        case 9: { result << vue.pixel(keyMax, valueMin); break; }
        case 4: { result << vue.pixel(keyMax, valueMax); result.append(result.last()); break; }
        case 6: { result << vue.pixel(keyMax, valueMin); result.append(result.last()); break; }
        case 1: { result << vue.pixel(keyMax, valueMax); result.append(result.last()); result << vue.pixel(keyMin, valueMax); break; }
        case 3: { result << vue.pixel(keyMax, valueMin); result.append(result.last()); result << vue.pixel(keyMin, valueMin); break; }
      }
      break;
    }
    case 9:
    {
      switch (currentRegion)
      {
        case 6: { result << vue.pixel(keyMax, valueMin); break; }
        case 8: { result << vue.pixel(keyMax, valueMin); break; }
        case 3: { result << vue.pixel(keyMax, valueMin) << vue.pixel(keyMin, valueMin); break; }
        case 7: { result << vue.pixel(keyMax, valueMin) << vue.pixel(keyMax, valueMax); break; }
        case 2: { result << vue.pixel(keyMax, valueMin) << vue.pixel(keyMin, valueMin); result.append(result.last()); break; }
        case 4: { result << vue.pixel(keyMax, valueMin) << vue.pixel(keyMax, valueMax); result.append(result.last()); break; }
        case 1: { // in this case we need another distinction of cases: segment may pass below or above rect, requiring either bottom right or top left corner points
          if ((value-prevValue)/(key-prevKey)*(keyMin-key)+value < valueMin) // segment passes below R
          { result << vue.pixel(keyMax, valueMin) << vue.pixel(keyMin, valueMin); result.append(result.last()); result << vue.pixel(keyMin, valueMax); }
          else
          { result << vue.pixel(keyMax, valueMin) << vue.pixel(keyMax, valueMax); result.append(result.last()); result << vue.pixel(keyMin, valueMax); }
          break;
        }
      }
      break;
    }
  }
  return result;
}

// QCPCurve::mayTraverse: false when a segment between these two outer
// regions cannot cross region 5.
bool peutTraverser(int prevRegion, int currentRegion)
{
  switch (prevRegion)
  {
    case 1:
    {
      switch (currentRegion)
      {
        case 4:
        case 7:
        case 2:
        case 3: return false;
        default: return true;
      }
    }
    case 2:
    {
      switch (currentRegion)
      {
        case 1:
        case 3: return false;
        default: return true;
      }
    }
    case 3:
    {
      switch (currentRegion)
      {
        case 1:
        case 2:
        case 6:
        case 9: return false;
        default: return true;
      }
    }
    case 4:
    {
      switch (currentRegion)
      {
        case 1:
        case 7: return false;
        default: return true;
      }
    }
    case 5: return false;
    case 6:
    {
      switch (currentRegion)
      {
        case 3:
        case 9: return false;
        default: return true;
      }
    }
    case 7:
    {
      switch (currentRegion)
      {
        case 1:
        case 4:
        case 8:
        case 9: return false;
        default: return true;
      }
    }
    case 8:
    {
      switch (currentRegion)
      {
        case 7:
        case 9: return false;
        default: return true;
      }
    }
    case 9:
    {
      switch (currentRegion)
      {
        case 3:
        case 6:
        case 8:
        case 7: return false;
        default: return true;
      }
    }
    default: return true;
  }
}

// QCPCurve::getTraverse: whether the segment really crosses region 5, and if
// so where it enters (crossA) and leaves (crossB), in pixels.
bool traverse(const Vue &vue, double prevKey, double prevValue, double key, double value, double keyMin, double valueMax, double keyMax, double valueMin, QPointF &crossA, QPointF &crossB)
{
  QPointF intersections[4]; // the library's QList, at most one point per edge
  int nIntersections = 0;
  const double valueMinPx = vue.pixelY(valueMin);
  const double valueMaxPx = vue.pixelY(valueMax);
  const double keyMinPx = vue.pixelX(keyMin);
  const double keyMaxPx = vue.pixelX(keyMax);
  const double keyPx = vue.pixelX(key);
  const double valuePx = vue.pixelY(value);
  const double prevKeyPx = vue.pixelX(prevKey);
  const double prevValuePx = vue.pixelY(prevValue);
  if (qFuzzyIsNull(keyPx-prevKeyPx)) // line is parallel to value axis
  {
    intersections[nIntersections++] = QPointF(keyPx, valueMinPx);
    intersections[nIntersections++] = QPointF(keyPx, valueMaxPx);
  } else if (qFuzzyIsNull(valuePx-prevValuePx)) // line is parallel to key axis
  {
    intersections[nIntersections++] = QPointF(keyMinPx, valuePx);
    intersections[nIntersections++] = QPointF(keyMaxPx, valuePx);
  } else // line is skewed
  {
    double gamma;
    double keyPerValuePx = (keyPx-prevKeyPx)/(valuePx-prevValuePx);
    // top of rect:
    gamma = prevKeyPx + (valueMaxPx-prevValuePx)*keyPerValuePx;
    if (gamma >= qMin(keyMinPx, keyMaxPx) && gamma <= qMax(keyMinPx, keyMaxPx))
      intersections[nIntersections++] = QPointF(gamma, valueMaxPx);
    // bottom of rect:
    gamma = prevKeyPx + (valueMinPx-prevValuePx)*keyPerValuePx;
    if (gamma >= qMin(keyMinPx, keyMaxPx) && gamma <= qMax(keyMinPx, keyMaxPx))
      intersections[nIntersections++] = QPointF(gamma, valueMinPx);
    const double valuePerKeyPx = 1.0/keyPerValuePx;
    // left of rect:
    gamma = prevValuePx + (keyMinPx-prevKeyPx)*valuePerKeyPx;
    if (gamma >= qMin(valueMinPx, valueMaxPx) && gamma <= qMax(valueMinPx, valueMaxPx))
      intersections[nIntersections++] = QPointF(keyMinPx, gamma);
    // right of rect:
    gamma = prevValuePx + (keyMaxPx-prevKeyPx)*valuePerKeyPx;
    if (gamma >= qMin(valueMinPx, valueMaxPx) && gamma <= qMax(valueMinPx, valueMaxPx))
      intersections[nIntersections++] = QPointF(keyMaxPx, gamma);
  }

  if (nIntersections > 2)
  {
    // Through a corner: the pair farthest apart. The library adds the y
    // difference twice where it means its square; so does this, or another
    // pair would be chosen now and then.
    double distSqrMax = 0;
    QPointF pv1, pv2;
    for (int i=0; i<nIntersections-1; ++i)
    {
      for (int k=i+1; k<nIntersections; ++k)
      {
        QPointF distPoint = intersections[i]-intersections[k];
        double distSqr = distPoint.x()*distPoint.x()+distPoint.y()+distPoint.y();
        if (distSqr > distSqrMax)
        {
          pv1 = intersections[i];
          pv2 = intersections[k];
          distSqrMax = distSqr;
        }
      }
    }
    intersections[0] = pv1;
    intersections[1] = pv2;
    nIntersections = 2;
  } else if (nIntersections != 2)
  {
    return false; // one point or none: touches a corner at most
  }

  // the folded segment runs the same way as the original:
  double xDelta = keyPx-prevKeyPx;
  double yDelta = valuePx-prevValuePx;
  if (xDelta*(intersections[1].x()-intersections[0].x()) + yDelta*(intersections[1].y()-intersections[0].y()) < 0)
    std::swap(intersections[0], intersections[1]);
  crossA = intersections[0];
  crossB = intersections[1];
  return true;
}

// QCPCurve::getTraverseCornerPoints: the corners a crossing segment must
// also go round, before it enters region 5 and after it leaves.
void coinsTraverse(const Vue &vue, int prevRegion, int currentRegion, double keyMin, double valueMax, double keyMax, double valueMin, Quelques &beforeTraverse, Quelques &afterTraverse)
{
  switch (prevRegion)
  {
    case 1:
    {
      switch (currentRegion)
      {
        case 6: { beforeTraverse << vue.pixel(keyMin, valueMax); break; }
        case 9: { beforeTraverse << vue.pixel(keyMin, valueMax); afterTraverse << vue.pixel(keyMax, valueMin); break; }
        case 8: { beforeTraverse << vue.pixel(keyMin, valueMax); break; }
      }
      break;
    }
    case 2:
    {
      switch (currentRegion)
      {
        case 7: { afterTraverse << vue.pixel(keyMax, valueMax); break; }
        case 9: { afterTraverse << vue.pixel(keyMax, valueMin); break; }
      }
      break;
    }
    case 3:
    {
      switch (currentRegion)
      {
        case 4: { beforeTraverse << vue.pixel(keyMin, valueMin); break; }
        case 7: { beforeTraverse << vue.pixel(keyMin, valueMin); afterTraverse << vue.pixel(keyMax, valueMax); break; }
        case 8: { beforeTraverse << vue.pixel(keyMin, valueMin); break; }
      }
      break;
    }
    case 4:
    {
      switch (currentRegion)
      {
        case 3: { afterTraverse << vue.pixel(keyMin, valueMin); break; }
        case 9: { afterTraverse << vue.pixel(keyMax, valueMin); break; }
      }
      break;
    }
    case 5: { break; } // shouldn't happen because this method only handles full traverses
    case 6:
    {
      switch (currentRegion)
      {
        case 1: { afterTraverse << vue.pixel(keyMin, valueMax); break; }
        case 7: { afterTraverse << vue.pixel(keyMax, valueMax); break; }
      }
      break;
    }
    case 7:
    {
      switch (currentRegion)
      {
        case 2: { beforeTraverse << vue.pixel(keyMax, valueMax); break; }
        case 3: { beforeTraverse << vue.pixel(keyMax, valueMax); afterTraverse << vue.pixel(keyMin, valueMin); break; }
        case 6: { beforeTraverse << vue.pixel(keyMax, valueMax); break; }
      }
      break;
    }
    case 8:
    {
      switch (currentRegion)
      {
        case 1: { afterTraverse << vue.pixel(keyMin, valueMax); break; }
        case 3: { afterTraverse << vue.pixel(keyMin, valueMin); break; }
      }
      break;
    }
    case 9:
    {
      switch (currentRegion)
      {
        case 2: { beforeTraverse << vue.pixel(keyMax, valueMin); break; }
        case 1: { beforeTraverse << vue.pixel(keyMax, valueMin); afterTraverse << vue.pixel(keyMin, valueMax); break; }
        case 4: { beforeTraverse << vue.pixel(keyMax, valueMin); break; }
      }
      break;
    }
  }
}
// clang-format on

// QCPCurve::getCurveLines, its lines handed to `lignes` point after point.
template <class Sortie>
void parcourt(const Vue &vue, const QCPCurveDataContainer &donnees, double largeurTrait,
              Sortie *lignes, const QCPRange *cles, const QCPRange *valeurs)
{

    // QCPAxis::pixelOrientation: +1 for the bottom axis, -1 for the left
    // one, each turned round when its range is reversed.
    const int orientationCle = vue.xInverse ? -1 : 1;
    const int orientationValeur = vue.yInverse ? 1 : -1;
    // The rectangle of region 5: the view widened by the reach of the pen.
    const double strokeMargin = qMax(qreal(1.0), qreal(largeurTrait * 0.75));
    const double keyMin = vue.cleX(vue.pixelX(vue.x.lower) - strokeMargin * orientationCle);
    const double keyMax = vue.cleX(vue.pixelX(vue.x.upper) + strokeMargin * orientationCle);
    const double valueMin = vue.valeurY(vue.pixelY(vue.y.lower) - strokeMargin * orientationValeur);
    const double valueMax = vue.valeurY(vue.pixelY(vue.y.upper) + strokeMargin * orientationValeur);

    QCPCurveDataContainer::const_iterator itBegin = donnees.constBegin();
    QCPCurveDataContainer::const_iterator itEnd = donnees.constEnd();
    if (itBegin == itEnd)
        return;

    // The whole curve in region 5 (a point with a NaN coordinate falls in
    // the middle row or column for that coordinate, so the box need not
    // hold it): the library adds each point as it is, nothing else.
    if (cles && valeurs && cles->lower >= keyMin && cles->upper <= keyMax &&
        valeurs->lower >= valueMin && valeurs->upper <= valueMax) {
        if constexpr (std::is_same<Sortie, QVector<QPointF>>::value) {
            lignes->resize(int(itEnd - itBegin));
            QPointF *p = lignes->data();
            for (QCPCurveDataContainer::const_iterator it = itBegin; it != itEnd; ++it)
                *p++ = vue.pixel(it->key, it->value);
        } else {
            for (QCPCurveDataContainer::const_iterator it = itBegin; it != itEnd; ++it)
                lignes->append(vue.pixel(it->key, it->value));
        }
        return;
    }

    // clang-format off
    // QCPCurve::getCurveLines from here on. The segment from the last point
    // back to the first is looked at first; what it adds before the first
    // point goes to the end (trailingPoints), to close rings correctly.
    QCPCurveDataContainer::const_iterator it = itBegin;
    QCPCurveDataContainer::const_iterator prevIt = itEnd-1;
    int prevRegion = region(prevIt->key, prevIt->value, keyMin, valueMax, keyMax, valueMin);
    Quelques trailingPoints;
    while (it != itEnd)
    {
        const int currentRegion = region(it->key, it->value, keyMin, valueMax, keyMax, valueMin);
        if (currentRegion != prevRegion) // changed region
        {
            if (currentRegion != DEDANS) // segment doesn't end in 5
            {
                QPointF crossA, crossB;
                if (prevRegion == DEDANS) // leaving 5: the exit point, and a corner when going out diagonally
                {
                    lignes->append(pointOptimise(vue, currentRegion, it->key, it->value, prevIt->key, prevIt->value, keyMin, valueMax, keyMax, valueMin));
                    ajoute(lignes, coinsOptimises(vue, prevRegion, currentRegion, prevIt->key, prevIt->value, it->key, it->value, keyMin, valueMax, keyMax, valueMin));
                } else if (peutTraverser(prevRegion, currentRegion) &&
                           traverse(vue, prevIt->key, prevIt->value, it->key, it->value, keyMin, valueMax, keyMax, valueMin, crossA, crossB))
                {
                    Quelques beforeTraverseCornerPoints, afterTraverseCornerPoints;
                    coinsTraverse(vue, prevRegion, currentRegion, keyMin, valueMax, keyMax, valueMin, beforeTraverseCornerPoints, afterTraverseCornerPoints);
                    if (it != itBegin)
                    {
                        ajoute(lignes, beforeTraverseCornerPoints);
                        lignes->append(crossA);
                        lignes->append(crossB);
                        ajoute(lignes, afterTraverseCornerPoints);
                    } else
                    {
                        lignes->append(crossB);
                        ajoute(lignes, afterTraverseCornerPoints);
                        trailingPoints << beforeTraverseCornerPoints << crossA;
                    }
                } else // moving around outside 5: only the corners it goes round
                {
                    ajoute(lignes, coinsOptimises(vue, prevRegion, currentRegion, prevIt->key, prevIt->value, it->key, it->value, keyMin, valueMax, keyMax, valueMin));
                }
            } else // entering 5: the entry point, then this point itself
            {
                if (it == itBegin)
                    trailingPoints << pointOptimise(vue, prevRegion, prevIt->key, prevIt->value, it->key, it->value, keyMin, valueMax, keyMax, valueMin);
                else
                    lignes->append(pointOptimise(vue, prevRegion, prevIt->key, prevIt->value, it->key, it->value, keyMin, valueMax, keyMax, valueMin));
                lignes->append(vue.pixel(it->key, it->value));
            }
        } else if (currentRegion == DEDANS) // still in 5
        {
            lignes->append(vue.pixel(it->key, it->value));
        } // else still in the same outer region: nothing to add, the whole point of it
        prevIt = it;
        prevRegion = currentRegion;
        ++it;
    }
    ajoute(lignes, trailingPoints);
    // clang-format on
}

} // namespace

void lignesCourbe(const Vue &vue, const QCPCurveDataContainer &donnees, double largeurTrait,
                  QVector<QPointF> *lignes, const QCPRange *cles, const QCPRange *valeurs)
{
    if (!lignes)
        return;
    lignes->clear();
    parcourt(vue, donnees, largeurTrait, lignes, cles, valeurs);
}

double distanceLignes(const Vue &vue, const QCPCurveDataContainer &donnees, double largeurTrait,
                      const QPointF &pos, double depuis, const QCPRange *cles,
                      const QCPRange *valeurs)
{
    Distance d;
    d.pos = QCPVector2D(pos);
    d.minDistSqr = depuis;
    parcourt(vue, donnees, largeurTrait, &d, cles, valeurs);
    return d.minDistSqr;
}
