// The live trend of a recording: one curve per recorded numeric register over a time axis, the scale
// following the data, each curve's last value, minimum, maximum and mean under it; the mouse wheel
// zooms the time axis, "śledź" keeps the newest reading in view, "zapisz png" saves the picture.
#pragma once

#include <functional>
#include <vector>

#include <QList>
#include <QPointF>
#include <QWidget>

#include "recording/recording_sink.h"
#include "recording/trend_envelope.h"

class QChart;
class QChartView;
class QCheckBox;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QPushButton;
class QValueAxis;

namespace velnorex {

class TrendView final : public QWidget, public RecordingSink {
 public:
  // Up to this many points in view every one is drawn; above, the envelope per pixel column.
  static constexpr size_t kDrawEveryPointUpTo = 4000;
  // The envelope's column: a bar of two pixels looks as one of one, and Qt Charts strokes half the points.
  static constexpr double kPixelsPerColumn = 2;

  explicit TrendView(QWidget* parent = nullptr);
  ~TrendView() override;

  // A recording's start shows the trend with a curve for each numeric column; its readings extend them.
  void recordingStarted(const std::vector<RecordedColumn>& columns, const std::u16string& label) override;
  void readingTaken(RecordingClock::time_point when, const std::vector<RecordedValue>& values) override;
  // The trend stays, so that it can be looked at and saved, until the next start or "ukryj".
  void recordingStopped() override {}

  // Whether a recording's start shows the trend. "ukryj" turns it off, and the trend then stays hidden
  // through later recordings until the program ends or the operator turns it on again.
  bool shownWithRecordings() const { return shownWithRecordings_; }
  void setShownWithRecordings(bool shown);
  std::function<void(bool)> shownWithRecordingsChanged;
  // Whether a recording is in the trend (a recording started since the program did).
  bool hasRecording() const { return started_; }

  // Zooms the time axis by `factor` (below 1 in, above 1 out) around the fraction `at` of the plot's width.
  void zoom(double factor, double at);
  void setFollow(bool follow);
  bool follow() const;
  // Writes what the trend shows as a PNG file; false when it cannot.
  bool savePng(const QString& path);
  // "zapisz png": asks for a file (tests replace the question) and saves.
  void savePngClick();
  std::function<QString(const QString& suggested)> choosePngFile;
  // The window's message box.
  std::function<void(const QString&)> showMessage;
  // The folder "zapisz png" suggests.
  QString pngFolder;

  // Brings the curves and axes up to date with the data; runs by itself after each reading while shown.
  void refresh();

  // "<name>: <last> (min <min>, maks <max>, śr <mean>)", the line of a curve under the chart.
  QString figuresText(size_t curve) const;
  // Under the figures once a long recording's older readings are thinned: up to when, and how coarsely
  // ("do 14:05:09 wykres pokazuje tylko min i maks co 16 s"); empty while every reading is drawn as read.
  QString thinnedText() const;

  // For tests and the benchmark: what is drawn.
  const std::vector<TrendCurve>& curves() const { return curves_; }
  QLineSeries* series(size_t curve) const { return series_[curve]; }
  // The points of a curve last handed to the chart, in time and value.
  const std::vector<TrendPoint>& drawn(size_t curve) const { return drawn_[curve]; }
  QChart* chart() const { return chart_; }
  QChartView* chartView() const { return view_; }
  // The visible time range, milliseconds since the epoch.
  double viewStart() const { return viewStart_; }
  double viewEnd() const { return viewEnd_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void showFigures();
  QColor legendText_;
  void toggleCurve(size_t curve);

  QChart* chart_ = nullptr;
  QChartView* view_ = nullptr;
  // The axes the operator reads, held by an empty series; the curves are drawn on two hidden axes from 0 to
  // 1, so that moving the time window or the scale redraws each curve once, not once per axis.
  QDateTimeAxis* axisX_ = nullptr;
  QValueAxis* axisY_ = nullptr;
  QValueAxis* plotX_ = nullptr;
  QValueAxis* plotY_ = nullptr;
  QLineSeries* anchor_ = nullptr;
  QCheckBox* follow_ = nullptr;
  QPushButton* savePng_ = nullptr;
  QPushButton* hide_ = nullptr;
  QLabel* figures_ = nullptr;  // each curve's last value, minimum, maximum and mean

  std::vector<size_t> columnOf_;  // the recording's column of each curve
  std::vector<QString> names_;
  std::vector<TrendCurve> curves_;
  std::vector<QLineSeries*> series_;
  double first_ = 0;
  double last_ = 0;
  bool empty_ = true;
  bool started_ = false;
  bool shownWithRecordings_ = true;
  // The time span in view; 0 = the whole recording. Without "śledź", the view ends at viewEnd_.
  double span_ = 0;
  double viewStart_ = 0;
  double viewEnd_ = 0;
  std::vector<std::vector<TrendPoint>> drawn_;
  QList<QPointF> buffer_;
};

}  // namespace velnorex
