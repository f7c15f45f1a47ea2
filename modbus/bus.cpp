// The bus: the units of one line put together once, in the order their references need.
#include "modbus/bus.h"

#include <iostream>

#include <QCoreApplication>

#include "text/number_text.h"

namespace velnorex {

Bus::Bus(std::unique_ptr<SerialDevice> device, ExchangeDispatcher::Window& window)
    : Bus(std::move(device), window, Setup{}) {}

Bus::Bus(std::unique_ptr<SerialDevice> device, ExchangeDispatcher::Window& window, const Setup& setup)
    : serial_(tapped(std::move(device), setup.trafficCapacity > 0)),
      dispatcher_(modbus_, window),
      timeouts_(setup.timeouts) {
  if (setup.trafficCapacity > 0)
    dispatcher_.addTransactionObserver(&trafficLog_.emplace(tap_, setup.trafficCapacity));
}

Bus::~Bus() {
  if (trafficLog_) dispatcher_.removeTransactionObserver(&*trafficLog_);
}

std::unique_ptr<SerialDevice> Bus::tapped(std::unique_ptr<SerialDevice> device, bool tap) {
  if (!tap) return device;
  auto tapped = std::make_unique<LineTap>(std::move(device));
  tap_ = tapped.get();
  return tapped;
}

bool Bus::open(const QString& path, const QString& mode) {
  if (!serial_.OpenPort(path, mode)) return false;
  if (serial_.SetPortTimeouts(timeouts_)) return true;
  serial_.ClosePort();
  return false;
}

void Bus::close() {
  if (serial_.PortOpen()) serial_.ClosePort();
}

void ToolWindow::processPendingMessages() {
  QCoreApplication::processEvents();
}

void ToolWindow::showMessage(const std::u16string& text) {
  std::cerr << program_ << ": " << ToUtf8(text) << "\n";
}

}  // namespace velnorex
