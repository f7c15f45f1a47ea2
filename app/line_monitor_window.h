// The window "Ruch na linii": the counters of the traffic, the table of the transactions, and the commands
// pause/resume, clear, copy and save as CSV. It follows the traffic log on a timer, so the exchange never
// waits for the view.
#pragma once

#include <functional>

#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QWidget>

#include "app/line_monitor_model.h"
#include "modbus/traffic_log.h"

namespace velnorex {

// The counters line above the table.
QString CountersText(const TrafficCounts& counts);

class LineMonitorWindow final : public QWidget {
 public:
  // How often the table takes up what the line brought: about nine transactions at 19200 baud.
  static constexpr int kRefreshMs = 100;

  LineMonitorWindow(TrafficLog& log, QWidget* parent = nullptr);

  LineMonitorModel& model() { return model_; }

  // Takes the new transactions into the table and the counters; nothing while paused.
  void refresh();
  void btPauseClick();
  void btClearClick();
  // The selected rows, with the header, onto the clipboard as tab-separated text.
  void btCopyClick();
  // Asks for a file name and saves every row as CSV; a failure throws FileCreateError.
  void btSaveClick();

  // Asks the operator for the CSV file's name; empty for a cancel. Tests replace it.
  std::function<QString(QWidget& parent)> askFileName;

  QLabel* lbCounters = nullptr;
  QPushButton* btPause = nullptr;
  QPushButton* btClear = nullptr;
  QPushButton* btCopy = nullptr;
  QPushButton* btSave = nullptr;
  QTableView* TrafficView = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void showCounters();

  TrafficLog& log_;
  LineMonitorModel model_;
  QTimer refreshTimer_;
};

}  // namespace velnorex
