// The trend widget fed as a recording feeds it: curves for the numeric registers only, the legend's
// figures, a flat number of points drawn however long the recording, zoom, follow and the PNG.
#include "recording/trend_view.h"

#include "tests/recording/recorded_values.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>

namespace velnorex::test {
namespace {

using namespace std::chrono_literals;

class TrendViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    trend.resize(800, 400);
    trend.recordingStarted({{u"1", u"100", u"Temp", u"REAL"},
                            {u"1", u"101", u"Opis", u"TEXT"},
                            {u"2", u"7", u"Licznik", u"int"}},
                           u"lista");
    QApplication::processEvents();
  }
  void feed(int count, RecordingClock::duration step = 500ms) {
    for (int i = 0; i < count; ++i) {
      now += step;
      trend.readingTaken(now, {RealReading(static_cast<float>(20 + (i % 10))), Reading(kTypeText, {0x6162}),
                               Reading(kTypeInt, {static_cast<uint16_t>(i)})});
    }
  }

  TrendView trend;
  RecordingClock::time_point now = RecordingClock::now();
};

TEST_F(TrendViewTest, CurvesForNumbersWithTheirFiguresAndGapsForFailedReads) {
  EXPECT_TRUE(trend.isVisible());
  ASSERT_EQ(trend.curves().size(), 2u);  // the TEXT register has no curve
  feed(4);
  now += 500ms;
  trend.readingTaken(now,
                     {FailedReading(), FailedReading(), FailedReading()});  // both failed: no point, no zero
  feed(1);
  EXPECT_EQ(trend.curves()[0].count(), 5u);
  EXPECT_EQ(trend.series(0)->count(), 5);
  EXPECT_EQ(trend.figuresText(0), QStringLiteral("Temp: 20 (min 20, maks 23, śr 21,2)"));
  EXPECT_EQ(trend.figuresText(1), QStringLiteral("Licznik: 0 (min 0, maks 3, śr 1,2)"));
  EXPECT_EQ(trend.thinnedText(), QString());
  EXPECT_EQ(trend.series(0)->name(), QStringLiteral("Temp"));
  const QLabel* figures = trend.findChild<QLabel*>(QStringLiteral("trendFigures"));
  ASSERT_NE(figures, nullptr);
  EXPECT_TRUE(figures->text().contains(QStringLiteral("Licznik: 0 (min 0, maks 3, śr 1,2)")));
  // The view follows the newest reading.
  EXPECT_TRUE(trend.follow());
  EXPECT_EQ(trend.viewEnd(), trend.curves()[0].points().back().t);

  // A new recording starts afresh.
  trend.recordingStarted({{u"1", u"5", u"Jedna", u"WORD"}}, u"5_Jedna");
  ASSERT_EQ(trend.curves().size(), 1u);
  EXPECT_EQ(trend.chart()->series().size(), 2);  // and the empty series that holds the axes
}

TEST_F(TrendViewTest, ALongRecordingDrawsAFlatNumberOfPointsAndZoomFollowsTheEnd) {
  trend.hide();  // filled unseen, then drawn once
  feed(30000, 100ms);
  trend.show();
  QApplication::processEvents();
  const int columns = static_cast<int>(trend.chart()->plotArea().width());
  ASSERT_GT(columns, 100);
  EXPECT_EQ(trend.curves()[0].count(), 30000u);
  // The older readings are thinned, and the trend says up to when and how coarsely.
  ASSERT_GT(trend.curves()[0].thinnedPoints(), 0u);
  EXPECT_LT(trend.curves()[0].points().size(), 30000u);
  EXPECT_TRUE(trend.thinnedText().startsWith(QStringLiteral("do "))) << trend.thinnedText().toStdString();
  EXPECT_TRUE(trend.thinnedText().contains(QStringLiteral(" wykres pokazuje tylko min i maks co ")));
  EXPECT_TRUE(trend.findChild<QLabel*>(QStringLiteral("trendFigures"))->text().contains(trend.thinnedText()));
  // Two points per column of the envelope at most (the plot is no wider than the view), and the two
  // neighbours.
  EXPECT_LE(trend.series(0)->count(), 2 * trend.chartView()->width() / TrendView::kPixelsPerColumn + 2);
  EXPECT_GE(trend.series(0)->count(), columns / TrendView::kPixelsPerColumn);
  // Every value of the saw-tooth is still reached by the envelope.
  double low = 1e9, high = -1e9;
  for (const TrendPoint& p : trend.drawn(0)) low = std::min(low, p.v), high = std::max(high, p.v);
  ASSERT_EQ(trend.drawn(0).size(), static_cast<size_t>(trend.series(0)->count()));
  EXPECT_EQ(low, 20);
  EXPECT_EQ(high, 29);

  // Zooming in while following keeps the newest reading at the right edge; a few hundred points are drawn
  // one by one.
  const double end = trend.viewEnd();
  for (int i = 0; i < 20; ++i) trend.zoom(0.8, 0.5);
  EXPECT_EQ(trend.viewEnd(), end);
  EXPECT_LT(trend.viewEnd() - trend.viewStart(), 60'000);
  EXPECT_LE(trend.series(0)->count(), static_cast<int>(TrendView::kDrawEveryPointUpTo) + 2);
  feed(1, 100ms);
  EXPECT_GT(trend.viewEnd(), end);

  // Without "śledź" the view stays where it is while readings arrive, and zooms around the mouse.
  trend.setFollow(false);
  const double start = trend.viewStart();
  const double stop = trend.viewEnd();
  feed(10, 100ms);
  EXPECT_EQ(trend.viewStart(), start);
  EXPECT_EQ(trend.viewEnd(), stop);
  trend.zoom(0.5, 0.0);
  EXPECT_EQ(trend.viewStart(), start);
  EXPECT_NEAR(trend.viewEnd() - trend.viewStart(), (stop - start) / 2, 1);
  trend.setFollow(true);
  EXPECT_EQ(trend.viewEnd(), trend.curves()[0].points().back().t);
}

TEST_F(TrendViewTest, SavesWhatItShowsAsPng) {
  feed(50);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("wykres.png"));
  QString suggested;
  trend.pngFolder = dir.path();
  trend.choosePngFile = [&](const QString& s) {
    suggested = s;
    return path;
  };
  trend.savePngClick();
  EXPECT_EQ(suggested, dir.filePath(QStringLiteral("wykres.png")));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.read(8).startsWith("\x89PNG"));
  QImage image(path);
  EXPECT_EQ(image.size(), trend.chartView()->size());
  file.close();

  // Saved again over the earlier picture, it replaces the file whole, as every file is written: whoever is
  // still reading the earlier one reads it to its end, and the file keeps its permissions.
  QFile earlier(path);
  ASSERT_TRUE(earlier.open(QIODevice::WriteOnly | QIODevice::Truncate));
  earlier.write("earlier picture");
  earlier.close();
  ASSERT_TRUE(
      QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
  QFile reader(path);
  ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
  feed(5);
  ASSERT_TRUE(trend.savePng(path));
  EXPECT_EQ(reader.readAll(), QByteArray("earlier picture"));
  EXPECT_EQ(QImage(path).size(), trend.chartView()->size());
  EXPECT_EQ(
      QFile::permissions(path) & (QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                  QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther),
      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);

  // A file that cannot be written is told to the operator.
  QStringList messages;
  trend.showMessage = [&](const QString& text) { messages << text; };
  trend.choosePngFile = [&](const QString&) { return dir.filePath(QStringLiteral("brak/folderu/x.png")); };
  trend.savePngClick();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].startsWith(QStringLiteral("nie można zapisać wykresu")))
      << messages[0].toStdString();
  // A cancelled question does nothing.
  trend.choosePngFile = [&](const QString&) { return QString(); };
  trend.savePngClick();
  EXPECT_EQ(messages.size(), 1);
}

}  // namespace
}  // namespace velnorex::test
