// The trend widget over Qt Charts: the curves' data live here, the chart only gets what fits its pixels.
#include "recording/trend_view.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

#include <QBuffer>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include "modbus/register_types.h"
#include "recording/csv_recording_file.h"
#include "registers/palette.h"
#include "text/file_replace.h"
#include "text/number_text.h"

namespace velnorex {

namespace {

// The wheel zooms the time axis instead of scrolling.
class WheelZoomChartView final : public QChartView {
 public:
  WheelZoomChartView(QChart* chart, TrendView& trend, QWidget* parent)
      : QChartView(chart, parent), trend_(trend) {}

 protected:
  void wheelEvent(QWheelEvent* event) override {
    const QRectF plot = chart()->plotArea();
    const double at = plot.width() > 0 ? (event->position().x() - plot.left()) / plot.width() : 1.0;
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0) trend_.zoom(std::pow(0.8, steps), std::clamp(at, 0.0, 1.0));
    event->accept();
  }

 private:
  TrendView& trend_;
};

QString numberText(double value) {
  return QString::number(value, 'g', 6).replace(u'.', u',');
}

}  // namespace

TrendView::TrendView(QWidget* parent) : QWidget(parent) {
  chart_ = new QChart();
  // On a dark desktop the chart is dark too, so its axes' labels read against the window around it.
  if (IsDarkBackground(palette().color(QPalette::Window))) chart_->setTheme(QChart::ChartThemeDark);
  legendText_ = chart_->legend()->labelColor();
  chart_->legend()->setAlignment(Qt::AlignBottom);
  chart_->setMargins(QMargins(2, 2, 2, 2));
  axisX_ = new QDateTimeAxis(chart_);
  axisX_->setFormat(QStringLiteral("HH:mm:ss"));
  axisX_->setTickCount(5);
  axisY_ = new QValueAxis(chart_);
  chart_->addAxis(axisX_, Qt::AlignBottom);
  chart_->addAxis(axisY_, Qt::AlignLeft);
  // Qt Charts labels a time axis only while a series uses it.
  anchor_ = new QLineSeries(chart_);
  chart_->addSeries(anchor_);
  anchor_->attachAxis(axisX_);
  anchor_->attachAxis(axisY_);
  for (QLegendMarker* marker : chart_->legend()->markers(anchor_)) marker->setVisible(false);
  plotX_ = new QValueAxis(chart_);
  plotY_ = new QValueAxis(chart_);
  for (QValueAxis* axis : {plotX_, plotY_}) {
    axis->setRange(0, 1);
    axis->setVisible(false);
  }
  chart_->addAxis(plotX_, Qt::AlignTop);
  chart_->addAxis(plotY_, Qt::AlignRight);

  view_ = new WheelZoomChartView(chart_, *this, this);
  view_->setObjectName(QStringLiteral("trendChart"));

  follow_ = new QCheckBox(QCoreApplication::translate("TrendView", "śledź"), this);
  follow_->setObjectName(QStringLiteral("cbxFollow"));
  follow_->setToolTip(QCoreApplication::translate("TrendView", "najnowszy odczyt zawsze widoczny"));
  follow_->setChecked(true);
  savePng_ = new QPushButton(QCoreApplication::translate("TrendView", "zapisz png"), this);
  savePng_->setObjectName(QStringLiteral("btSavePng"));
  hide_ = new QPushButton(QCoreApplication::translate("TrendView", "ukryj"), this);
  hide_->setObjectName(QStringLiteral("btHideTrend"));
  setToolTip(QCoreApplication::translate(
      "TrendView", "Wykres: kółko myszy zmienia skalę czasu, klik na legendzie ukrywa krzywą"));

  auto* bar = new QHBoxLayout();
  bar->setContentsMargins(4, 2, 4, 2);
  bar->addWidget(follow_);
  bar->addStretch(1);
  bar->addWidget(savePng_);
  bar->addWidget(hide_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addLayout(bar);
  layout->addWidget(view_, 1);
  // The figures change with every reading: beside the chart they cost no relayout of the chart.
  figures_ = new QLabel(this);
  figures_->setObjectName(QStringLiteral("trendFigures"));
  figures_->setTextFormat(Qt::RichText);
  // A narrow trend wraps a curve's figures instead of cutting them.
  figures_->setWordWrap(true);
  figures_->setContentsMargins(6, 0, 6, 4);
  layout->addWidget(figures_);

  choosePngFile = [this](const QString& suggested) {
    return QFileDialog::getSaveFileName(this, QCoreApplication::translate("TrendView", "zapisz wykres"),
                                        suggested, QStringLiteral("PNG (*.png)"));
  };
  connect(follow_, &QCheckBox::toggled, this, [this](bool on) { setFollow(on); });
  connect(savePng_, &QPushButton::clicked, this, [this] { savePngClick(); });
  connect(hide_, &QPushButton::clicked, this, [this] { setShownWithRecordings(false); });
}

TrendView::~TrendView() = default;

void TrendView::recordingStarted(const std::vector<RecordedColumn>& columns, const std::u16string&) {
  for (QLineSeries* series : series_) {
    chart_->removeSeries(series);
    delete series;
  }
  series_.clear();
  curves_.clear();
  drawn_.clear();
  columnOf_.clear();
  names_.clear();
  empty_ = true;
  span_ = 0;
  started_ = true;
  follow_->setChecked(true);
  QStringList units;
  for (size_t column = 0; column < columns.size(); ++column) {
    if (!IsNumericType(columns[column].type)) continue;
    columnOf_.push_back(column);
    const QString unit =
        QString::fromStdU16String(std::u16string(RegisterFormatOf(columns[column].type).meaning.unitText()));
    QString name = QString::fromStdU16String(columns[column].name);
    if (!unit.isEmpty()) {
      name += QStringLiteral(" [%1]").arg(unit);
      if (!units.contains(unit)) units << unit;
    }
    names_.push_back(name);
    curves_.emplace_back();
    drawn_.emplace_back();
    auto* series = new QLineSeries();
    series->setName(names_.back());
    chart_->addSeries(series);
    series->attachAxis(plotX_);
    series->attachAxis(plotY_);
    series_.push_back(series);
    // A click on a curve's legend entry hides it, and the scale then follows the others.
    const size_t curve = series_.size() - 1;
    for (QLegendMarker* marker : chart_->legend()->markers(series))
      connect(marker, &QLegendMarker::clicked, this, [this, curve] { toggleCurve(curve); });
  }
  // The value axis is counted in the units of the curves on it.
  axisY_->setTitleText(units.join(QStringLiteral(", ")));
  setVisible(shownWithRecordings_);
  refresh();
}

void TrendView::setShownWithRecordings(bool shown) {
  if (shown == shownWithRecordings_) return;
  shownWithRecordings_ = shown;
  // Turned on again, it shows the recording it holds; turned off, it goes at once.
  setVisible(shown && hasRecording());
  if (shownWithRecordingsChanged) shownWithRecordingsChanged(shown);
}

void TrendView::readingTaken(RecordingClock::time_point when, const std::vector<RecordedValue>& values) {
  double t = static_cast<double>(
      std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count());
  // A clock set back must not break the time order the curves are searched by.
  if (!empty_) t = std::max(t, last_);
  bool any = false;
  for (size_t curve = 0; curve < curves_.size(); ++curve) {
    const size_t column = columnOf_[curve];
    // A failed read or a value that is no finite number leaves a gap in the data, not a zero.
    if (column >= values.size() || !values[column].value.isNumber()) continue;
    const double value = values[column].value.number();
    if (std::isfinite(value)) {
      curves_[curve].append(t, value);
      any = true;
    }
  }
  if (!any) return;
  if (empty_) first_ = t;
  last_ = t;
  empty_ = false;
  refresh();
}

void TrendView::zoom(double factor, double at) {
  if (empty_) return;
  const double whole = std::max(last_ - first_, 1000.0);
  const double current = viewEnd_ - viewStart_ > 0 ? viewEnd_ - viewStart_ : whole;
  double span = std::clamp(current * factor, 1000.0, whole);
  if (follow()) {
    span_ = span >= whole ? 0 : span;
  } else {
    // The moment under the mouse stays where it is.
    const double pivot = viewStart_ + at * current;
    viewStart_ = pivot - at * span;
    viewEnd_ = viewStart_ + span;
    span_ = span;
  }
  refresh();
}

void TrendView::setFollow(bool follow) {
  if (follow_->isChecked() != follow) follow_->setChecked(follow);  // comes back here through the signal
  if (!follow) span_ = viewEnd_ - viewStart_;
  refresh();
}

bool TrendView::follow() const {
  return follow_->isChecked();
}

bool TrendView::savePng(const QString& path) {
  refresh();
  // Encoded in memory, then written as every other file is: a failure or a crash never leaves a torn
  // picture in place of an earlier one.
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly) || !view_->grab().save(&buffer, "PNG")) return false;
  return ReplaceFileAtomically(std::filesystem::path(path.toStdU16String()),
                               std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))) == 0;
}

void TrendView::savePngClick() {
  const QString path = choosePngFile(pngFolder.isEmpty() ? QStringLiteral("wykres.png")
                                                         : pngFolder + QStringLiteral("/wykres.png"));
  if (path.isEmpty()) return;
  if (!savePng(path) && showMessage)
    showMessage(QCoreApplication::translate("TrendView", "nie można zapisać wykresu: %1").arg(path));
}

void TrendView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  refresh();
}

void TrendView::toggleCurve(size_t curve) {
  QLineSeries* series = series_[curve];
  series->setVisible(!series->isVisible());
  // The legend keeps the entry of a hidden curve, so that it can be shown again.
  for (QLegendMarker* marker : chart_->legend()->markers(series)) {
    marker->setVisible(true);
    marker->setLabelBrush(series->isVisible() ? QBrush(legendText_) : QBrush(kColorGrey));
  }
  refresh();
}

QString TrendView::figuresText(size_t curve) const {
  const TrendCurve& c = curves_[curve];
  if (c.count() == 0) return names_[curve];
  return QCoreApplication::translate("TrendView", "%1: %2 (min %3, maks %4, śr %5)")
      .arg(names_[curve], numberText(c.last()), numberText(c.min()), numberText(c.max()),
           numberText(c.mean()));
}

QString TrendView::thinnedText() const {
  double until = 0;
  double columnMs = 0;
  for (const TrendCurve& c : curves_) {
    if (c.thinnedPoints() == 0) continue;
    until = std::max(until, c.thinnedUntil());
    columnMs = std::max(columnMs, c.columnMs());
  }
  if (columnMs <= 0) return {};
  const QDateTime at = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(until));
  const QDateTime newest = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(last_));
  const QString when =
      at.toString(at.date() == newest.date() ? QStringLiteral("HH:mm:ss") : QStringLiteral("dd.MM HH:mm:ss"));
  return QStringLiteral("do %1 wykres pokazuje tylko min i maks co %2 s")
      .arg(when, numberText(columnMs / 1000.0));
}

void TrendView::showFigures() {
  QString text;
  for (size_t curve = 0; curve < curves_.size(); ++curve) {
    if (curve > 0) text += QStringLiteral("<br>");
    text += QStringLiteral("<span style=\"color:%1\">&#9632;</span> %2")
                .arg(series_[curve]->color().name(), figuresText(curve).toHtmlEscaped());
  }
  // The operator is told where the curves no longer show every reading (the file still holds them all).
  if (const QString thinned = thinnedText(); !thinned.isEmpty())
    text += QStringLiteral("<br><i>%1</i>").arg(thinned.toHtmlEscaped());
  figures_->setText(text);
}

void TrendView::refresh() {
  // Nothing is drawn unseen: a hidden trend catches up when it is shown.
  if (!isVisible()) return;
  showFigures();
  if (empty_) return;
  if (follow()) {
    viewEnd_ = last_;
    viewStart_ = span_ > 0 ? last_ - span_ : first_;
  } else if (!(viewEnd_ > viewStart_)) {
    viewStart_ = first_;
    viewEnd_ = last_;
  }
  if (!(viewEnd_ > viewStart_)) {
    viewStart_ = viewEnd_ - 1000;  // a single reading: one second of axis
  }
  const int columns = std::max(1, static_cast<int>(chart_->plotArea().width() / kPixelsPerColumn));

  double low = std::numeric_limits<double>::infinity();
  double high = -low;
  for (size_t curve = 0; curve < curves_.size(); ++curve) {
    const std::vector<TrendPoint>& points = curves_[curve].points();
    std::vector<TrendPoint>& drawn = drawn_[curve];
    if (CountInRange(points.data(), points.size(), viewStart_, viewEnd_) > kDrawEveryPointUpTo)
      EnvelopeByColumn(points.data(), points.size(), viewStart_, viewEnd_, columns, drawn);
    else
      PointsInRange(points.data(), points.size(), viewStart_, viewEnd_, drawn);
    if (!series_[curve]->isVisible()) continue;
    for (const TrendPoint& p : drawn) {
      if (p.t < viewStart_ || p.t > viewEnd_) continue;
      low = std::min(low, p.v);
      high = std::max(high, p.v);
    }
  }
  if (!(high >= low)) {
    low = 0;
    high = 1;
  }
  const double margin = high > low ? (high - low) * 0.05 : std::max(std::abs(high) * 0.05, 0.5);
  low -= margin;
  high += margin;
  axisX_->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(viewStart_)),
                   QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::ceil(viewEnd_))));
  axisY_->setRange(low, high);

  // Onto the hidden axes: the fraction of the time window and of the scale.
  const double toX = 1.0 / (viewEnd_ - viewStart_);
  const double toY = 1.0 / (high - low);
  for (size_t curve = 0; curve < curves_.size(); ++curve) {
    const std::vector<TrendPoint>& drawn = drawn_[curve];
    buffer_.resize(static_cast<qsizetype>(drawn.size()));
    for (size_t i = 0; i < drawn.size(); ++i)
      buffer_[static_cast<qsizetype>(i)] = QPointF((drawn[i].t - viewStart_) * toX, (drawn[i].v - low) * toY);
    series_[curve]->replace(buffer_);
  }
}

}  // namespace velnorex
