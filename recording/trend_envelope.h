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

// Reduces `count` points sorted by t in place to the lowest and the highest of each time column
// [k * columnMs, (k + 1) * columnMs), in the order the two occurred (one point when they are the same);
// returns how many points are left. Reducing again, with the same width or a multiple of it, keeps each
// column's extremes: no peak is lost however often a curve is thinned.
size_t ThinByColumn(TrendPoint* points, size_t count, double columnMs);

// One curve of a trend: its points and the running figures the legend shows. The newest readings are kept
// one by one; older ones are thinned to the lowest and highest value per time column, the columns widening
// as the recording grows, so that a curve never holds more than kMaxPoints however long it runs. The
// figures are those of every reading.
class TrendCurve {
 public:
  // Readings kept one by one, at least (about an hour at two readings a second).
  static constexpr size_t kRecentPoints = 8192;
  // Time columns of the thinned part, at most.
  static constexpr size_t kThinnedColumns = 4096;
  static constexpr size_t kMaxPoints = 2 * kThinnedColumns + 2 * kRecentPoints;

  void append(double t, double v);
  void clear() { *this = TrendCurve(); }

  // Sorted by time: the thinned part (thinnedPoints() of them) and then every recent reading.
  const std::vector<TrendPoint>& points() const { return points_; }
  // Readings appended, thinned ones included.
  size_t count() const { return count_; }
  size_t thinnedPoints() const { return thinned_; }
  // The width of a thinned column in milliseconds; 0 while nothing is thinned.
  double columnMs() const { return thinned_ > 0 ? columnMs_ : 0; }
  // The moment of the last reading that was thinned; meaningful when thinnedPoints().
  double thinnedUntil() const { return thinnedUntil_; }
  double last() const { return points_.empty() ? 0 : points_.back().v; }
  double min() const { return min_; }
  double max() const { return max_; }
  double mean() const { return count_ == 0 ? 0 : sum_ / static_cast<double>(count_); }

 private:
  void thin();

  std::vector<TrendPoint> points_;
  size_t thinned_ = 0;
  double columnMs_ = 0;
  double thinnedUntil_ = 0;
  size_t count_ = 0;
  double min_ = 0;
  double max_ = 0;
  double sum_ = 0;
};

}  // namespace velnorex
