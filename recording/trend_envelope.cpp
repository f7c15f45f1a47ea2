// Min/max envelope per pixel column and the running figures of a curve.
#include "recording/trend_envelope.h"

#include <algorithm>
#include <cmath>

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

size_t ThinByColumn(TrendPoint* points, size_t count, double columnMs) {
  size_t out = 0;
  size_t i = 0;
  while (i < count) {
    const double column = std::floor(points[i].t / columnMs);
    size_t low = i;
    size_t high = i;
    for (++i; i < count && std::floor(points[i].t / columnMs) == column; ++i) {
      if (points[i].v < points[low].v) low = i;
      if (points[i].v > points[high].v) high = i;
    }
    // Both are read before anything is written: `out` never passes the column's first point.
    const TrendPoint first = points[std::min(low, high)];
    const TrendPoint second = points[std::max(low, high)];
    points[out++] = first;
    if (low != high) points[out++] = second;
  }
  return out;
}

void TrendCurve::append(double t, double v) {
  if (count_ == 0) {
    min_ = max_ = v;
  } else {
    min_ = std::min(min_, v);
    max_ = std::max(max_, v);
  }
  sum_ += v;
  ++count_;
  // A curve that grows this long is a long recording: its whole room is taken at once, not by doubling.
  if (points_.size() == kRecentPoints) points_.reserve(kMaxPoints);
  points_.push_back({t, v});
  if (points_.size() - thinned_ >= 2 * kRecentPoints) thin();
}

void TrendCurve::thin() {
  // Everything but the newest kRecentPoints joins the thinned part.
  const size_t end = points_.size() - kRecentPoints;
  thinnedUntil_ = points_[end - 1].t;
  if (columnMs_ <= 0) {
    // The first columns: a quarter of the room for what is thinned now, in whole milliseconds.
    const double span = points_[end - 1].t - points_[0].t;
    columnMs_ = std::max(1.0, std::ceil(span / (kThinnedColumns / 4)));
  }
  size_t kept = ThinByColumn(points_.data(), end, columnMs_);
  while (kept > 2 * kThinnedColumns) {
    columnMs_ *= 2;
    kept = ThinByColumn(points_.data(), kept, columnMs_);
  }
  if (kept < end)
    std::move(points_.begin() + static_cast<std::ptrdiff_t>(end), points_.end(),
              points_.begin() + static_cast<std::ptrdiff_t>(kept));
  points_.resize(kept + kRecentPoints);
  thinned_ = kept;
}

}  // namespace velnorex
