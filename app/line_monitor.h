// The traffic monitor of the main window: the record of every transaction, fed by the dispatcher with the
// tap's times, and the window "Ruch na linii" that shows it. Recording runs from the start, so the window
// shows the recent traffic whenever it is opened.
#pragma once

#include <memory>

#include <QWidget>

#include "app/line_monitor_window.h"
#include "modbus/traffic_log.h"

namespace velnorex {

class LineMonitor {
 public:
  // `log` is the bus's, registered with its dispatcher for the whole run.
  LineMonitor(TrafficLog& log, QWidget* parent);
  ~LineMonitor();
  LineMonitor(const LineMonitor&) = delete;
  LineMonitor& operator=(const LineMonitor&) = delete;

  // Shows the window, or brings it to the front.
  void show();

  TrafficLog& log() { return log_; }
  LineMonitorWindow& window() { return *window_; }

 private:
  TrafficLog& log_;
  // A window of its own above the main one; it goes before the log it shows.
  std::unique_ptr<LineMonitorWindow> window_;
};

}  // namespace velnorex
