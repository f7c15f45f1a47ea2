// Times one new reading on a trend that already holds 100,000 points: the append, the envelope and the
// chart's redraw, offscreen. Baseline, measured in the same run: the same append and redraw on a plain
// Qt Charts line series that draws every one of the points.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include "recording/trend_view.h"

using namespace velnorex;

namespace {

constexpr int kPoints = 100000;
constexpr auto kStep = std::chrono::milliseconds(500);

RecordedValue valueText(int i) {
  // A slow drift with noise and a rare spike, as a temperature on a noisy line.
  const double v = 20 + 3 * std::sin(i / 5000.0) + ((i * 7919) % 100) / 200.0 + (i % 9973 == 0 ? 15 : 0);
  const auto single = static_cast<float>(v);
  uint32_t bits;
  std::memcpy(&bits, &single, sizeof bits);
  const uint16_t words[2] = {static_cast<uint16_t>(bits & 0xFFFF), static_cast<uint16_t>(bits >> 16)};
  RecordedValue reading;
  DecodeWords(kTypeReal, words, 2, reading.value);
  return reading;
}

struct Figures {
  double median = 0, mean = 0, worst = 0;
};

template <class F>
Figures timeEach(int rounds, F&& one) {
  std::vector<double> ms;
  for (int i = 0; i < rounds; ++i) {
    QElapsedTimer timer;
    timer.start();
    one(i);
    ms.push_back(timer.nsecsElapsed() / 1e6);
  }
  std::sort(ms.begin(), ms.end());
  double sum = 0;
  for (double m : ms) sum += m;
  return {ms[ms.size() / 2], sum / static_cast<double>(ms.size()), ms.back()};
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 100;
  const auto start = RecordingClock::now();

  // --- the trend: filled unseen, then one reading after another, each redrawn at once ---
  TrendView trend;
  trend.resize(1000, 500);
  trend.recordingStarted({{u"1", u"100", u"Temperatura", u"REAL"}}, u"lista");
  trend.hide();
  for (int i = 0; i < kPoints; ++i) trend.readingTaken(start + i * kStep, {valueText(i)});
  trend.show();
  QApplication::processEvents();
  int next = kPoints;
  double updateMs = 0;
  const Figures envelope = timeEach(rounds, [&](int) {
    QElapsedTimer update;
    update.start();
    trend.readingTaken(start + next * kStep, {valueText(next)});
    updateMs += update.nsecsElapsed() / 1e6;
    ++next;
    trend.repaint();
  });
  const int drawn = trend.series(0)->count();

  // --- baseline: a line series holding every point ---
  auto* chart = new QChart();  // owned by the view
  auto* series = new QLineSeries();
  QList<QPointF> all;
  for (int i = 0; i < kPoints; ++i) {
    all.append(QPointF(
        std::chrono::duration_cast<std::chrono::milliseconds>((start + i * kStep).time_since_epoch()).count(),
        valueText(i).value.number()));
  }
  series->replace(all);
  chart->addSeries(series);
  auto* x = new QDateTimeAxis();
  auto* y = new QValueAxis();
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  series->attachAxis(x);
  series->attachAxis(y);
  QChartView view(chart);
  view.resize(1000, 500);
  view.show();
  QApplication::processEvents();
  int plain = kPoints;
  const int baselineRounds = argc > 2 ? std::atoi(argv[2]) : std::max(5, rounds / 10);
  const Figures baseline = timeEach(baselineRounds, [&](int) {
    const double t =
        std::chrono::duration_cast<std::chrono::milliseconds>((start + plain * kStep).time_since_epoch())
            .count();
    series->append(t, 21.0);
    ++plain;
    x->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(all.front().x())),
                QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(t)));
    view.repaint();
  });

  std::printf("trend append + redraw with %d points on it, %d rounds, offscreen 1000 x 500\n", kPoints,
              rounds);
  std::printf(
      "envelope: median %.2f ms, mean %.2f ms, worst %.2f ms (%d points drawn; data and chart update "
      "without painting: mean %.2f ms)\n",
      envelope.median, envelope.mean, envelope.worst, drawn, updateMs / rounds);
  std::printf("baseline, every point drawn: median %.2f ms, worst %.2f ms (%d rounds)\n", baseline.median,
              baseline.worst, baselineRounds);
  std::printf("ratio envelope / baseline: %.3f (target: envelope under 5 ms)\n",
              envelope.median / baseline.median);
  return 0;
}
