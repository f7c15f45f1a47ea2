// The traffic monitor's window: counters, commands and the table, refreshed in batches while it is shown.
#include "app/line_monitor_window.h"

#include <exception>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/application.h"
#include "recording/log_lines.h"
#include "registers/register_tree_view.h"
#include "text/number_text.h"

namespace velnorex {

namespace {

QString milliseconds(double us) {
  return QString::fromStdU16String(FormatFloat(us / 1000.0, 1));
}

QPushButton* button(const QString& name, const QString& caption, QWidget* parent) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  return b;
}

// A command's failure ends the command and goes to the top-level error handler, as everywhere in the window.
template <class F>
auto guarded(F f) {
  return [f] {
    try {
      f();
    } catch (...) {
      HandleException(std::current_exception());
    }
  };
}

}  // namespace

QString CountersText(const TrafficCounts& c) {
  QString text = QCoreApplication::translate(
                     "LineMonitor",
                     "zapytania: %1   odpowiedzi: %2   wyjątki: %3   brak odpowiedzi: %4   błędy CRC: %5   "
                     "późne: %6   echo usunięte: %7   odrzucone spóźnione: %8")
                     .arg(c.requests)
                     .arg(c.goodReplies)
                     .arg(c.exceptions)
                     .arg(c.timeouts)
                     .arg(c.crcErrors)
                     .arg(c.lateReplies)
                     .arg(c.echoesRemoved)
                     .arg(c.lateDropped);
  text += QCoreApplication::translate("LineMonitor", "\nczas odpowiedzi [ms] min / śr / maks: ");
  if (c.timedReplies == 0) return text + QStringLiteral("-");
  return text + milliseconds(static_cast<double>(c.replyUsMin)) + QStringLiteral(" / ") +
         milliseconds(c.replyUsMean()) + QStringLiteral(" / ") +
         milliseconds(static_cast<double>(c.replyUsMax));
}

LineMonitorWindow::LineMonitorWindow(TrafficLog& log, QWidget* parent)
    : QWidget(parent, Qt::Window), log_(log), model_(log) {
  setObjectName(QStringLiteral("LineMonitor"));
  setWindowTitle(QCoreApplication::translate("LineMonitor", "Ruch na linii"));
  resize(1000, 520);

  auto* layout = new QVBoxLayout(this);
  auto* commands = new QHBoxLayout;
  lbCounters = new QLabel(this);
  lbCounters->setObjectName(QStringLiteral("lbCounters"));
  lbCounters->setTextInteractionFlags(Qt::TextSelectableByMouse);
  btPause = button(QStringLiteral("btPause"), QCoreApplication::translate("LineMonitor", "Wstrzymaj"), this);
  btClear = button(QStringLiteral("btClear"), QCoreApplication::translate("LineMonitor", "Wyczyść"), this);
  btCopy = button(QStringLiteral("btCopy"), QCoreApplication::translate("LineMonitor", "Kopiuj"), this);
  btSave = button(QStringLiteral("btSave"), QCoreApplication::translate("LineMonitor", "Zapisz CSV"), this);
  commands->addWidget(lbCounters, 1);
  for (QPushButton* b : {btPause, btClear, btCopy, btSave}) commands->addWidget(b, 0, Qt::AlignTop);
  layout->addLayout(commands);

  TrafficView = new QTableView(this);
  TrafficView->setObjectName(QStringLiteral("TrafficView"));
  TrafficView->setModel(&model_);
  TrafficView->setItemDelegate(new ReadableTextDelegate(TrafficView));
  TrafficView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  TrafficView->setSelectionBehavior(QAbstractItemView::SelectRows);
  TrafficView->setSelectionMode(QAbstractItemView::ExtendedSelection);
  TrafficView->setWordWrap(false);
  TrafficView->setAlternatingRowColors(true);
  // Fixed row heights and column widths: nothing is measured per row, whatever the number of rows.
  TrafficView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  TrafficView->verticalHeader()->setDefaultSectionSize(TrafficView->fontMetrics().height() + 4);
  TrafficView->verticalHeader()->hide();
  TrafficView->horizontalHeader()->setStretchLastSection(true);
  const int widths[LineMonitorModel::kColumnCount] = {100, 50, 60, 60, 45, 230, 250, 75, 85, 200};
  for (int c = 0; c < LineMonitorModel::kColumnCount; ++c) TrafficView->setColumnWidth(c, widths[c]);
  layout->addWidget(TrafficView, 1);

  auto* copy = new QAction(TrafficView);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  TrafficView->addAction(copy);

  askFileName = [](QWidget& parent) -> QString {
    QFileDialog dialog(&parent, QCoreApplication::translate("LineMonitor", "Zapisz ruch na linii"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("CSV (*.csv)"), QStringLiteral("* (*)")});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
  };

  connect(btPause, &QPushButton::clicked, this, guarded([this] { btPauseClick(); }));
  connect(btClear, &QPushButton::clicked, this, guarded([this] { btClearClick(); }));
  connect(btCopy, &QPushButton::clicked, this, guarded([this] { btCopyClick(); }));
  connect(copy, &QAction::triggered, this, guarded([this] { btCopyClick(); }));
  connect(btSave, &QPushButton::clicked, this, guarded([this] { btSaveClick(); }));
  refreshTimer_.setInterval(kRefreshMs);
  connect(&refreshTimer_, &QTimer::timeout, this, [this] { refresh(); });
  showCounters();
}

void LineMonitorWindow::refresh() {
  if (model_.paused()) return;
  // Follow the newest rows only while the operator looks at them, not while reading older ones.
  const QScrollBar* bar = TrafficView->verticalScrollBar();
  const bool atBottom = bar->value() >= bar->maximum();
  model_.sync();
  showCounters();
  if (atBottom) TrafficView->scrollToBottom();
}

void LineMonitorWindow::showCounters() {
  lbCounters->setText(CountersText(log_.counts()));
}

void LineMonitorWindow::btPauseClick() {
  // While paused, the log goes on recording; the table and the counters stand still to be read.
  model_.setPaused(!model_.paused());
  btPause->setText(model_.paused() ? QCoreApplication::translate("LineMonitor", "Wznów")
                                   : QCoreApplication::translate("LineMonitor", "Wstrzymaj"));
  refresh();
}

void LineMonitorWindow::btClearClick() {
  log_.clear();
  model_.catchUp();
  showCounters();
}

void LineMonitorWindow::btCopyClick() {
  QList<int> rows;
  for (const QModelIndex& index : TrafficView->selectionModel()->selectedRows()) rows << index.row();
  if (rows.isEmpty()) return;
  std::sort(rows.begin(), rows.end());
  QApplication::clipboard()->setText(model_.rowsText(rows));
}

void LineMonitorWindow::btSaveClick() {
  const QString fileName = askFileName(*this);
  if (fileName.isEmpty()) return;
  SaveFileBytes(fileName, model_.csvBytes());
}

void LineMonitorWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  refresh();
  refreshTimer_.start();
}

void LineMonitorWindow::hideEvent(QHideEvent* event) {
  refreshTimer_.stop();
  QWidget::hideEvent(event);
}

}  // namespace velnorex
