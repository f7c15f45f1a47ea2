// The traffic monitor: the bus's log of the whole run, its window on demand.
#include "app/line_monitor.h"

namespace velnorex {

LineMonitor::LineMonitor(TrafficLog& log, QWidget* parent)
    : log_(log), window_(std::make_unique<LineMonitorWindow>(log_, parent)) {}

LineMonitor::~LineMonitor() = default;

void LineMonitor::show() {
  window_->show();
  window_->raise();
  window_->activateWindow();
}

}  // namespace velnorex
