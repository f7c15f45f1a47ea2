// Min/max envelope per pixel column and the running figures of a curve.
#include "recording/trend_envelope.h"

#include <algorithm>

namespace velnorex {

namespace {

// [first, last) of the points inside [t0, t1].
std::pair<size_t, size_t> rangeOf(const TrendPoint* points, size_t count, double t0, double t1) {
  const TrendPoint* end = points + count;
  const TrendPoint* first =
      std::lower_bound(points, end, t0, [](const TrendPoint& p, double t) { return p.t < t; });
  const TrendPoint* last =
      std::upper_bound(first, end, t1, [](double t, const TrendPoint& p) { return t < p.t; });
  return {static_cast<size_t>(first - points), static_cast<size_t>(last - points)};
}

}  // namespace

size_t CountInRange(const TrendPoint* points, size_t count, double t0, double t1) {
  const auto [first, last] = rangeOf(points, count, t0, t1);
  return last - first;
}

void PointsInRange(const TrendPoint* points, size_t count, double t0, double t1,
                   std::vector<TrendPoint>& out) {
  out.clear();
  const auto [first, last] = rangeOf(points, count, t0, t1);
  const size_t from = first > 0 ? first - 1 : first;
  const size_t to = last < count ? last + 1 : last;
  out.assign(points + from, points + to);
}

void EnvelopeByColumn(const TrendPoint* points, size_t count, double t0, double t1, int columns,
                      std::vector<TrendPoint>& out) {
  out.clear();
  if (columns < 1 || !(t1 > t0)) {
    PointsInRange(points, count, t0, t1, out);
    return;
  }
  const auto [first, last] = rangeOf(points, count, t0, t1);
  if (first > 0) out.push_back(points[first - 1]);
  const double perColumn = columns / (t1 - t0);
  const auto columnOf = [&](double t) {
    return std::clamp(static_cast<int>((t - t0) * perColumn), 0, columns - 1);
  };
  size_t i = first;
  while (i < last) {
    const int column = columnOf(points[i].t);
    size_t low = i;
    size_t high = i;
    for (++i; i < last && columnOf(points[i].t) == column; ++i) {
      if (points[i].v < points[low].v) low = i;
      if (points[i].v > points[high].v) high = i;
    }
    out.push_back(points[std::min(low, high)]);
    if (low != high) out.push_back(points[std::max(low, high)]);
  }
  if (last < count) out.push_back(points[last]);
}

void TrendCurve::append(double t, double v) {
  if (points_.empty()) {
    min_ = max_ = v;
  } else {
    min_ = std::min(min_, v);
    max_ = std::max(max_, v);
  }
  sum_ += v;
  points_.push_back({t, v});
}

}  // namespace velnorex
