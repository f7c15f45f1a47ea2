// The technician's desk: room for the log beside the trend, a trend hidden for good, readable colours on
// light and dark palettes, at every scale the screen of the run has (the program runs once per screen).
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QStandardItemModel>
#include <QStyleFactory>
#include <QTextBlock>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QValueAxis>

#include "recording/log_lines.h"
#include "recording/trend_view.h"
#include "registers/palette.h"
#include "registers/register_tree_view.h"
#include "tests/app/app_fixture.h"

namespace velnorex::test {
namespace {

void Settle() {
  for (int i = 0; i < 8; ++i) QApplication::processEvents();
}

RecordedValue Reading(double v) {
  RecordedValue value;
  value.value.kind = ValueKind::Real;
  value.value.real = v;
  value.text = QString::number(v, 'f', 2).replace(u'.', u',').toStdU16String();
  return value;
}

// A recording as the log and the trend get it: the header, then readings, with long register names.
void Record(TForm1& w, int registers, int readings) {
  std::vector<RecordedColumn> columns;
  AppendLine(*w.Memo1, DateLine(QDateTime::currentDateTime()));
  for (int r = 0; r < registers; ++r) {
    const QString name = QStringLiteral("Temperatura powietrza na wlocie %1").arg(r + 1);
    columns.push_back(
        RecordedColumn{u"1", QString::number(100 + r).toStdU16String(), name.toStdU16String(), u"REAL"});
    AppendLine(*w.Memo1, QStringLiteral("Slave:1\t") + RegisterLine(QString::number(100 + r), name));
  }
  AppendLine(*w.Memo1, QString());
  w.chTrend->recordingStarted(columns, u"lista");
  const auto start = RecordingClock::now();
  for (int i = 0; i < readings; ++i) {
    std::vector<RecordedValue> values;
    QString line = TimeText(QTime::currentTime());
    for (int r = 0; r < registers; ++r) {
      values.push_back(Reading(-1234.5 + i * 7.25 + r));
      line += u'\t' + QString::fromStdU16String(values.back().text);
    }
    AppendLine(*w.Memo1, line);
    w.chTrend->readingTaken(start + std::chrono::seconds(i), values);
  }
  Settle();
}

// What is wrong with the log area as laid out now; empty when all is well.
std::vector<std::string> LogAreaFaults(const TForm1& w) {
  std::vector<std::string> faults;
  const QWidget* area = w.memoArea;
  if (!w.Memo1->isVisible()) faults.push_back("the log is not shown");
  // Every line of the log ends inside the text area, by Qt's own layout of its tabs; on a window too narrow
  // for its longest line, the log has the whole width of its area.
  const int right = w.Memo1->viewport()->width();
  const bool roomForAll = area->width() >= w.memoArea->logWidthNeeded();
  if (!roomForAll && w.Memo1->width() != area->width())
    faults.push_back("the log is narrower than it can be");
  for (QTextBlock b = w.Memo1->document()->begin(); roomForAll && b.isValid(); b = b.next()) {
    QTextCursor cursor(b);
    cursor.movePosition(QTextCursor::EndOfBlock);
    const int end = w.Memo1->cursorRect(cursor).right();
    if (end > right)
      faults.push_back("the line \"" + b.text().toStdString() + "\" ends at " + std::to_string(end) + " of " +
                       std::to_string(right));
  }
  if (w.chTrend->isVisible()) {
    const QRect log = w.Memo1->geometry();
    const QRect trend = w.chTrend->geometry();
    if (log.intersects(trend)) faults.push_back("the trend lies over the log");
    if (!area->rect().contains(trend)) faults.push_back("the trend sticks out of the log's area");
    if (w.memoArea->trendBelow() ? trend.top() <= log.bottom() : trend.left() <= log.right())
      faults.push_back("the trend is neither beside nor below the log");
    if (trend.width() < 100 || trend.height() < 100) faults.push_back("the trend is squeezed");
    // The commands above the chart and the figures under it: every text whole.
    for (const QAbstractButton* b : w.chTrend->findChildren<QAbstractButton*>())
      if (b->isVisible() && b->width() < b->minimumSizeHint().width())
        faults.push_back(b->objectName().toStdString() + " is cut");
    const auto* figures = w.chTrend->findChild<QLabel*>(QStringLiteral("trendFigures"));
    if (figures->height() < figures->heightForWidth(figures->width()))
      faults.push_back("the figures are cut: " + std::to_string(figures->height()) + " px of " +
                       std::to_string(figures->heightForWidth(figures->width())));
    if (!w.chTrend->rect().contains(figures->geometry())) faults.push_back("the figures stick out");
  }
  return faults;
}

TEST_F(AppTest, TheLogKeepsItsLongestLineAndTheTrendTakesTheRestOrGoesBelow) {
  auto w = makeWindow();
  showAndSettle(*w);
  const QSize firstStart = w->size();
  w->splitY->setSizes({120, 1000});
  Settle();

  // One register: at the first-start size the log's lines and the trend fit side by side or one below the
  // other, never cut; on a wide window always side by side.
  Record(*w, 1, 20);
  ASSERT_TRUE(w->chTrend->isVisible());
  EXPECT_EQ(LogAreaFaults(*w), std::vector<std::string>{});
  w->resize(1400, firstStart.height());
  Settle();
  EXPECT_FALSE(w->memoArea->trendBelow());
  EXPECT_GE(w->Memo1->width(), w->memoArea->logWidthNeeded());
  EXPECT_EQ(LogAreaFaults(*w), std::vector<std::string>{});

  // Four registers make reading lines too wide to leave the trend its room at the first-start width: the
  // trend goes below, and comes back beside the log on a window wide enough for both.
  w->resize(firstStart);
  Settle();
  Record(*w, 4, 30);
  EXPECT_GT(w->memoArea->logWidthNeeded() + w->memoArea->trendWidthNeeded(), w->memoArea->width());
  EXPECT_TRUE(w->memoArea->trendBelow());
  EXPECT_EQ(LogAreaFaults(*w), std::vector<std::string>{});
  w->resize(w->Panel3->width() + w->memoArea->logWidthNeeded() + w->memoArea->trendWidthNeeded() + 40,
            firstStart.height());
  Settle();
  EXPECT_FALSE(w->memoArea->trendBelow());
  EXPECT_EQ(LogAreaFaults(*w), std::vector<std::string>{});

  // "Wyczyść" gives the width back: an empty log asks for nothing.
  w->Wyczy1->trigger();
  Settle();
  EXPECT_LT(w->memoArea->logWidthNeeded(), 60);
}

// What is wrong with the controls of a window as laid out now: a control with a text narrower or lower than
// its text needs, outside its parent, or over a visible sibling. Empty when all is well.
std::vector<std::string> ControlFaults(const QWidget& top) {
  std::vector<std::string> faults;
  const auto name = [](const QWidget* c) {
    return c->objectName().isEmpty() ? std::string(c->metaObject()->className())
                                     : c->objectName().toStdString();
  };
  for (const QWidget* c : top.findChildren<QWidget*>()) {
    const bool texted = qobject_cast<const QLabel*>(c) || qobject_cast<const QAbstractButton*>(c) ||
                        qobject_cast<const QGroupBox*>(c) || qobject_cast<const QComboBox*>(c) ||
                        qobject_cast<const QLineEdit*>(c);
    // The edit inside an editable combo box or a spin box is its owner's business.
    const bool inner = qobject_cast<const QComboBox*>(c->parentWidget()) ||
                       qobject_cast<const QAbstractSpinBox*>(c->parentWidget());
    if (!texted || inner || !c->isVisibleTo(&top)) continue;
    const auto* label = qobject_cast<const QLabel*>(c);
    const QSize needed = label && label->wordWrap()
                             ? QSize(c->minimumSizeHint().width(), label->heightForWidth(c->width()))
                             : c->minimumSizeHint();
    if (c->width() < needed.width() || c->height() < needed.height())
      faults.push_back(name(c) + " is " + std::to_string(c->width()) + "x" + std::to_string(c->height()) +
                       ", needs " + std::to_string(needed.width()) + "x" + std::to_string(needed.height()));
    const QWidget* parent = c->parentWidget();
    if (parent && !parent->rect().contains(c->geometry()))
      faults.push_back(name(c) + " sticks out of " + name(parent));
    if (!parent) continue;
    for (const QWidget* s : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (s != c && s->isVisibleTo(&top) && !s->isWindow() && s < c &&
          s->geometry().intersects(c->geometry()) &&
          (qobject_cast<const QLabel*>(s) || qobject_cast<const QAbstractButton*>(s) ||
           qobject_cast<const QComboBox*>(s) || qobject_cast<const QLineEdit*>(s)))
        faults.push_back(name(c) + " overlaps " + name(s));
  }
  return faults;
}

TEST_F(AppTest, AtTheFirstStartSizeAndInTheDialogsNoTextIsCutAndNothingOverlaps) {
  auto w = makeWindow();
  showAndSettle(*w);
  Record(*w, 1, 10);
  EXPECT_EQ(ControlFaults(*w->Panel3), std::vector<std::string>{});
  EXPECT_EQ(ControlFaults(*w->chTrend), std::vector<std::string>{});
  EXPECT_EQ(LogAreaFaults(*w), std::vector<std::string>{});
  // The register tree's columns keep their proportions to the font at every scale.
  const double perChar = w->VT->fontMetrics().averageCharWidth();
  EXPECT_NEAR(w->VT->columnWidth(0) / perChar, 180.0 / 9.0, 1.5);

  w->btSearch->click();
  ASSERT_NE(w->searchDialog, nullptr);
  Settle();
  EXPECT_EQ(ControlFaults(*w->searchDialog), std::vector<std::string>{});
  w->searchDialog->close();
  w->Ruchnalinii1->trigger();
  Settle();
  EXPECT_EQ(ControlFaults(w->lineMonitor.window()), std::vector<std::string>{});
  w->lineMonitor.window().close();
}

TEST_F(AppTest, TheFiguresWrapInANarrowTrendInsteadOfBeingCut) {
  auto w = makeWindow();
  showAndSettle(*w);
  Record(*w, 2, 5);
  auto* figures = w->chTrend->findChild<QLabel*>(QStringLiteral("trendFigures"));
  ASSERT_NE(figures, nullptr);
  const int oneLine = figures->fontMetrics().lineSpacing();
  // Each curve's line is wider than 200 pixels; at that width it takes more than one line, all of them shown.
  EXPECT_GT(figures->fontMetrics().horizontalAdvance(w->chTrend->figuresText(0)), 200);
  EXPECT_GT(figures->heightForWidth(200), 2 * oneLine + oneLine / 2);
  EXPECT_EQ(LogAreaFaults(*w), std::vector<std::string>{});
}

TEST_F(AppTest, AHiddenTrendStaysHiddenThroughLaterRecordingsUntilTurnedOn) {
  auto w = makeWindow();
  showAndSettle(*w);
  EXPECT_TRUE(w->Wykres1->isChecked());
  Record(*w, 1, 3);
  ASSERT_TRUE(w->chTrend->isVisible());
  auto* hide = w->chTrend->findChild<QPushButton*>(QStringLiteral("btHideTrend"));
  ASSERT_NE(hide, nullptr);
  hide->click();
  Settle();
  EXPECT_FALSE(w->chTrend->isVisible());
  EXPECT_FALSE(w->Wykres1->isChecked());
  // The log takes the whole area back.
  EXPECT_EQ(w->Memo1->width(), w->memoArea->width());

  w->chTrend->recordingStopped();
  Record(*w, 2, 3);
  EXPECT_FALSE(w->chTrend->isVisible());
  // The trend still took the readings: turned on again, it shows this recording at once.
  EXPECT_EQ(w->chTrend->curves().size(), 2u);
  w->Wykres1->trigger();
  Settle();
  EXPECT_TRUE(w->chTrend->isVisible());
  EXPECT_EQ(LogAreaFaults(*w), std::vector<std::string>{});
}

// ---------------------------------------------------------------------------------------------------------
// Colours

// A desktop palette to test under.
struct Desktop {
  const char* name;
  QPalette palette;
  bool dark;
};

QPalette DarkFusion() {
  // Fusion's usual dark palette.
  QPalette p;
  p.setColor(QPalette::Window, QColor(53, 53, 53));
  p.setColor(QPalette::WindowText, Qt::white);
  p.setColor(QPalette::Base, QColor(42, 42, 42));
  p.setColor(QPalette::AlternateBase, QColor(66, 66, 66));
  p.setColor(QPalette::Text, Qt::white);
  p.setColor(QPalette::Button, QColor(53, 53, 53));
  p.setColor(QPalette::ButtonText, Qt::white);
  p.setColor(QPalette::Highlight, QColor(42, 130, 218));
  p.setColor(QPalette::HighlightedText, Qt::white);
  return p;
}

QPalette AdwaitaDark() {
  // What Qt 6.4's GTK platform theme gives under GTK_THEME=Adwaita:dark on Debian 12 (measured under Xvfb).
  QPalette p;
  const QColor text(0xf0, 0xf0, 0xf0);
  p.setColor(QPalette::Window, QColor(0x32, 0x32, 0x32));
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, QColor(0x24, 0x24, 0x24));
  p.setColor(QPalette::AlternateBase, QColor(0x2b, 0x2b, 0x2b));
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, QColor(0x32, 0x32, 0x32));
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::Highlight, QColor(0x30, 0x8c, 0xc6));
  p.setColor(QPalette::HighlightedText, text);
  return p;
}

class PaletteTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    previous_ = QApplication::palette();
    previousStyle_ = QApplication::style()->name();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  }
  void TearDown() override {
    QApplication::setPalette(previous_);
    QApplication::setStyle(QStyleFactory::create(previousStyle_));
    AppTest::TearDown();
  }

 private:
  QPalette previous_;
  QString previousStyle_;
};

// The delegate's colours for a cell of `named` text, as it paints them.
struct CellColours {
  QColor text, base, highlightedText, highlight;
};
class DelegateProbe : public ReadableTextDelegate {
 public:
  using ReadableTextDelegate::ReadableTextDelegate;
  CellColours colours(const QWidget* view, const QModelIndex& index, bool alternate) const {
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.palette = view->palette();
    if (alternate) option.features |= QStyleOptionViewItem::Alternate;
    initStyleOption(&option, index);
    return {option.palette.color(QPalette::Text),
            option.palette.color(alternate ? QPalette::AlternateBase : QPalette::Base),
            option.palette.color(QPalette::HighlightedText), option.palette.color(QPalette::Highlight)};
  }
};

TEST_F(PaletteTest, EveryColourTheProgramSetsReadsOnLightAndDarkPalettes) {
  const Desktop desktops[] = {
      {"Fusion light", QApplication::style()->standardPalette(), false},  // Fusion, set up above
      {"Fusion dark", DarkFusion(), true},
      {"Adwaita dark", AdwaitaDark(), true},
  };
  const QColor texts[] = {kColorBlack, kColorNavy, kColorMaroon, kColorGreen, kColorRed, kColorGrey};
  for (const Desktop& desktop : desktops) {
    SCOPED_TRACE(desktop.name);
    QApplication::setPalette(desktop.palette);
    auto w = makeWindow();
    showAndSettle(*w);
    EXPECT_EQ(IsDarkBackground(w->palette().color(QPalette::Window)), desktop.dark);

    // The control panel's navy labels and the port's maroon line.
    const auto check = [&](const QColor& drawn, const QColor& background, const QColor& named, double ratio,
                           const std::string& what) {
      if (desktop.dark)
        EXPECT_GE(ContrastRatio(drawn, background), ratio) << what << " " << drawn.name().toStdString();
      else
        EXPECT_EQ(drawn, named) << what;  // the light palette keeps the named colour
    };
    for (QLabel* label : {w->Label1, w->Label2, w->Label3, w->Label4, w->Label5, w->Label6, w->Label7})
      check(label->palette().color(QPalette::WindowText), label->palette().color(QPalette::Window),
            kColorNavy, kTextContrast, label->objectName().toStdString());
    check(w->stPort->palette().color(QPalette::WindowText), w->stPort->palette().color(QPalette::Window),
          kColorMaroon, kTextContrast, "stPort");
    if (desktop.dark) {
      // Still a navy and a maroon: the hue is kept, only lightened.
      const QColor navy = w->Label1->palette().color(QPalette::WindowText);
      EXPECT_GT(navy.blue(), navy.red());
      const QColor maroon = w->stPort->palette().color(QPalette::WindowText);
      EXPECT_GT(maroon.red(), maroon.blue());
    }

    // Every text colour of the register tree and the traffic monitor, on plain, alternate and selected rows.
    QStandardItemModel model(1, 1);
    DelegateProbe probe;
    for (const QColor& named : texts) {
      model.setData(model.index(0, 0), named, Qt::ForegroundRole);
      for (const QWidget* view :
           {static_cast<QWidget*>(w->VT), static_cast<QWidget*>(w->lineMonitor.window().TrafficView)}) {
        for (bool alternate : {false, true}) {
          const CellColours c = probe.colours(view, model.index(0, 0), alternate);
          check(c.text, c.base, named, kTextContrast, "cell " + named.name().toStdString());
          if (desktop.dark) {
            EXPECT_GE(ContrastRatio(c.highlightedText, c.highlight), kTextContrast);
          }
        }
      }
    }

    // The indicator squares: every state's fill against the square's black frame.
    for (const QColor& fill : {kColorMediumGrey, kColorGrey, kColorRed, kColorLime, kColorYellow})
      EXPECT_GE(ContrastRatio(fill, kColorBlack), kIndicatorContrast) << fill.name().toStdString();

    // The trend's axes and legend read on its own background, which follows the desktop's.
    Record(*w, 1, 3);
    const QChart* chart = w->chTrend->chart();
    EXPECT_EQ(chart->theme() == QChart::ChartThemeDark, desktop.dark);
    // The chart's background is a gradient: every colour of it.
    QList<QColor> backgrounds{chart->backgroundBrush().color()};
    if (const QGradient* gradient = chart->backgroundBrush().gradient()) {
      backgrounds.clear();
      for (const QGradientStop& stop : gradient->stops()) backgrounds << stop.second;
    }
    for (const QColor& plot : backgrounds) {
      EXPECT_EQ(IsDarkBackground(plot), desktop.dark) << plot.name().toStdString();
      EXPECT_GE(ContrastRatio(chart->legend()->labelColor(), plot), kTextContrast);
      for (const QAbstractAxis* axis : chart->axes()) {
        if (axis->isVisible()) {
          EXPECT_GE(ContrastRatio(axis->labelsColor(), plot), kTextContrast);
        }
      }
    }
  }
}

TEST(ReadableShade, IsTheNamedColourOnLightAndTheNearestReadableOnDark) {
  const QColor white(255, 255, 255), dark(0x35, 0x35, 0x35);
  EXPECT_EQ(ReadableOn(kColorNavy, white), kColorNavy);
  EXPECT_EQ(ReadableOn(kColorRed, white), kColorRed);   // 4:1, but the operator's documents name it
  EXPECT_EQ(ReadableOn(kColorLime, dark), kColorLime);  // readable as it is
  const QColor navy = ReadableOn(kColorNavy, dark);
  EXPECT_GE(ContrastRatio(navy, dark), kTextContrast);
  // The nearest: just past the ratio, not a jump to white.
  EXPECT_LT(ContrastRatio(navy, dark), kTextContrast + 0.3);
  EXPECT_GT(navy.blue(), navy.red() + 40);
  EXPECT_NEAR(ContrastRatio(kColorBlack, white), 21.0, 1e-9);
}

}  // namespace
}  // namespace velnorex::test
