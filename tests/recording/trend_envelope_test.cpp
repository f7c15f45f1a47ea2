// The envelope keeps every column's lowest and highest value, draws nothing that was not measured, and stays
// within two points per column however many points there are.
#include "recording/trend_envelope.h"

#include <algorithm>
#include <map>
#include <random>

#include <gtest/gtest.h>

namespace velnorex::test {
namespace {

TEST(TrendEnvelope, KeepsEveryColumnsMinimumAndMaximum) {
  std::mt19937 random(1234);
  for (int trial = 0; trial < 200; ++trial) {
    SCOPED_TRACE(trial);
    // Whole milliseconds and a column width that is a power of two: a point's column is exact arithmetic.
    const int columns = 1 + static_cast<int>(random() % 700);
    const double width = double(1 << (random() % 7));
    const double t0 = 1'700'000'000'000.0 + double(random() % 1000);
    const double t1 = t0 + columns * width;
    std::vector<TrendPoint> points;
    double t = t0 - double(random() % 50);
    const size_t count = random() % 20000;
    std::normal_distribution<double> noise(20, 3);
    for (size_t i = 0; i < count; ++i) {
      t += double(random() % 3);  // several points may share a moment
      const double spike = random() % 500 == 0 ? (random() % 2 ? 1000.0 : -1000.0) : 0.0;
      points.push_back({t, std::round(noise(random) * 100) / 100 + spike});
    }

    std::vector<TrendPoint> out;
    EnvelopeByColumn(points.data(), points.size(), t0, t1, columns, out);

    struct Extremes {
      double low, high;
    };
    std::map<int, Extremes> expected;
    for (const TrendPoint& p : points) {
      if (p.t < t0 || p.t > t1) continue;
      const int column = std::min(static_cast<int>((p.t - t0) / width), columns - 1);
      auto [it, fresh] = expected.try_emplace(column, Extremes{p.v, p.v});
      if (!fresh) it->second = {std::min(it->second.low, p.v), std::max(it->second.high, p.v)};
    }
    std::map<int, std::vector<double>> drawn;
    for (const TrendPoint& p : out) {
      // Nothing is made up: every point drawn is a point measured.
      const auto [from, to] =
          std::equal_range(points.begin(), points.end(), p,
                           [](const TrendPoint& a, const TrendPoint& b) { return a.t < b.t; });
      EXPECT_TRUE(std::any_of(from, to, [&](const TrendPoint& q) { return q.v == p.v; })) << p.t;
      if (p.t < t0 || p.t > t1) continue;
      drawn[std::min(static_cast<int>((p.t - t0) / width), columns - 1)].push_back(p.v);
    }
    ASSERT_EQ(drawn.size(), expected.size());
    for (const auto& [column, extremes] : expected) {
      const std::vector<double>& values = drawn[column];
      ASSERT_LE(values.size(), 2u) << "column " << column;
      EXPECT_EQ(*std::min_element(values.begin(), values.end()), extremes.low) << "column " << column;
      EXPECT_EQ(*std::max_element(values.begin(), values.end()), extremes.high) << "column " << column;
    }
    // In time order, and the neighbours outside the range are kept so the curve reaches the edges.
    EXPECT_TRUE(std::is_sorted(out.begin(), out.end(),
                               [](const TrendPoint& a, const TrendPoint& b) { return a.t < b.t; }));
    const bool before =
        std::any_of(points.begin(), points.end(), [&](const TrendPoint& p) { return p.t < t0; });
    const bool after =
        std::any_of(points.begin(), points.end(), [&](const TrendPoint& p) { return p.t > t1; });
    EXPECT_EQ(!out.empty() && out.front().t < t0, before);
    EXPECT_EQ(!out.empty() && out.back().t > t1, after);
    EXPECT_EQ(CountInRange(points.data(), points.size(), t0, t1),
              static_cast<size_t>(std::count_if(points.begin(), points.end(), [&](const TrendPoint& p) {
                return p.t >= t0 && p.t <= t1;
              })));
  }
}

TEST(TrendEnvelope, CurveFiguresAreThoseOfEveryValue) {
  TrendCurve curve;
  EXPECT_EQ(curve.count(), 0u);
  for (double v : {3.0, -1.5, 7.25, 2.0}) curve.append(curve.count(), v);
  EXPECT_EQ(curve.last(), 2.0);
  EXPECT_EQ(curve.min(), -1.5);
  EXPECT_EQ(curve.max(), 7.25);
  EXPECT_DOUBLE_EQ(curve.mean(), 10.75 / 4);
}

// A week at two readings a second, in a curve that stays within its room: the newest readings one by one,
// every older column's lowest and highest reading kept, nothing made up, the figures those of every reading.
TEST(TrendEnvelope, ALongCurveIsThinnedWithinItsRoomAndKeepsEveryColumnsExtremes) {
  std::mt19937 random(99);
  std::vector<TrendPoint> readings;
  TrendCurve curve;
  double t = 1'700'000'000'000.0, v = 20, low = 1e9, high = -1e9, sum = 0;
  const size_t count = 7 * 24 * 3600 * 2;
  size_t largest = 0;
  for (size_t i = 0; i < count; ++i) {
    t += 500 + double(random() % 40);  // a timer's jitter; now and then two readings at one moment
    if (random() % 1000 == 0) t -= 500;
    v += (double(random() % 201) - 100) / 100;
    const double value = random() % 20000 == 0 ? v + 1000 : v;  // rare spikes
    readings.push_back({t, value});
    curve.append(t, value);
    low = std::min(low, value), high = std::max(high, value), sum += value;
    largest = std::max(largest, curve.points().size());
  }
  const std::vector<TrendPoint>& points = curve.points();
  EXPECT_LE(largest, TrendCurve::kMaxPoints);
  EXPECT_LE(points.capacity(), TrendCurve::kMaxPoints);
  EXPECT_EQ(curve.count(), count);
  EXPECT_EQ(curve.min(), low);
  EXPECT_EQ(curve.max(), high);
  EXPECT_DOUBLE_EQ(curve.mean(), sum / double(count));
  EXPECT_EQ(curve.last(), readings.back().v);
  ASSERT_GT(curve.thinnedPoints(), 0u);
  ASSERT_GT(curve.columnMs(), 0);
  EXPECT_TRUE(std::is_sorted(points.begin(), points.end(),
                             [](const TrendPoint& a, const TrendPoint& b) { return a.t < b.t; }));

  // The recent part is every reading since the thinned part ends, as read.
  const size_t recent = points.size() - curve.thinnedPoints();
  EXPECT_GE(recent, TrendCurve::kRecentPoints);
  for (size_t i = 0; i < recent; ++i) {
    const TrendPoint& p = points[points.size() - recent + i];
    const TrendPoint& r = readings[readings.size() - recent + i];
    ASSERT_TRUE(p.t == r.t && p.v == r.v) << i;
  }
  EXPECT_EQ(curve.thinnedUntil(), readings[readings.size() - recent - 1].t);

  // Every thinned point is a reading, and each column of the thinned part that ends before it does holds
  // its column's lowest and highest reading, at most two points.
  const double width = curve.columnMs();
  std::map<double, std::pair<double, double>> extremes;
  for (size_t i = 0; i + recent < readings.size(); ++i) {
    const TrendPoint& r = readings[i];
    auto [it, fresh] = extremes.try_emplace(std::floor(r.t / width), r.v, r.v);
    if (!fresh) it->second = {std::min(it->second.first, r.v), std::max(it->second.second, r.v)};
  }
  std::map<double, std::vector<double>> kept;
  for (size_t i = 0; i < curve.thinnedPoints(); ++i) {
    const TrendPoint& p = points[i];
    const auto [from, to] =
        std::equal_range(readings.begin(), readings.end(), p,
                         [](const TrendPoint& a, const TrendPoint& b) { return a.t < b.t; });
    ASSERT_TRUE(std::any_of(from, to, [&](const TrendPoint& r) { return r.v == p.v; })) << p.t;
    kept[std::floor(p.t / width)].push_back(p.v);
  }
  EXPECT_LE(kept.size(), TrendCurve::kThinnedColumns + 1);
  ASSERT_EQ(kept.size(), extremes.size());
  for (const auto& [column, range] : extremes) {
    const std::vector<double>& values = kept[column];
    ASSERT_FALSE(values.empty()) << column;
    ASSERT_LE(values.size(), 2u);
    EXPECT_EQ(*std::min_element(values.begin(), values.end()), range.first) << column;
    EXPECT_EQ(*std::max_element(values.begin(), values.end()), range.second) << column;
  }
}

}  // namespace
}  // namespace velnorex::test
