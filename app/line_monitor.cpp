// The traffic monitor: its log registered with the dispatcher for the whole run, its window on demand.
#include "app/line_monitor.h"

namespace velnorex {

LineMonitor::LineMonitor(const LineTap& tap, ExchangeDispatcher& dispatcher, QWidget* parent)
    : dispatcher_(dispatcher), log_(&tap), window_(std::make_unique<LineMonitorWindow>(log_, parent)) {
  dispatcher_.addTransactionObserver(&log_);
}

LineMonitor::~LineMonitor() {
  dispatcher_.removeTransactionObserver(&log_);
}

void LineMonitor::show() {
  window_->show();
  window_->raise();
  window_->activateWindow();
}

}  // namespace velnorex
