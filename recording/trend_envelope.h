// The points a trend draws: every point while there are few, else per pixel column the lowest and the
// highest, so that drawing costs the same however long the recording grows and no peak is lost.
#pragma once

#include <cstddef>
#include <vector>

namespace velnorex {

struct TrendPoint {
  double t = 0;  // milliseconds since the epoch
  double v = 0;
};

// For `count` points sorted by t: the points of [t0, t1] reduced to their minimum and maximum per column,
// `columns` equal columns across the range, each pair in the order the two occurred (one point when they are
// the same). The last point before t0 and the first after t1 are kept as they are, so that the curve runs to
// the edges. `out` is replaced.
void EnvelopeByColumn(const TrendPoint* points, size_t count, double t0, double t1, int columns,
                      std::vector<TrendPoint>& out);

// The same range without reduction: every point of [t0, t1] with its neighbours outside.
void PointsInRange(const TrendPoint* points, size_t count, double t0, double t1,
                   std::vector<TrendPoint>& out);

// How many points lie in [t0, t1].
size_t CountInRange(const TrendPoint* points, size_t count, double t0, double t1);

// One curve of a trend: its points and the running figures the legend shows.
class TrendCurve {
 public:
  void append(double t, double v);
  void clear() { *this = TrendCurve(); }

  const std::vector<TrendPoint>& points() const { return points_; }
  size_t count() const { return points_.size(); }
  double last() const { return points_.empty() ? 0 : points_.back().v; }
  double min() const { return min_; }
  double max() const { return max_; }
  double mean() const { return points_.empty() ? 0 : sum_ / static_cast<double>(points_.size()); }

 private:
  std::vector<TrendPoint> points_;
  double min_ = 0;
  double max_ = 0;
  double sum_ = 0;
};

}  // namespace velnorex
