// The bus: one object without widgets that owns everything a master needs on one line, the Serial unit with
// the tap over its device, the Modbus unit, the dispatcher, the traffic log, the blocks refused on the open
// connection and the time-outs. The window owns one for the whole run; every tool and test makes its own the
// same way.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include <QString>

#include "modbus/exchange_dispatcher.h"
#include "modbus/modbus.h"
#include "modbus/read_refusals.h"
#include "modbus/traffic_log.h"
#include "serial/line_tap.h"
#include "serial/serial.h"

namespace velnorex {

// What a program without a window gives the dispatcher: pending events are processed, a message goes to
// stderr after the program's name, the "." of a late reply and the highlight mean nothing.
class ToolWindow final : public ExchangeDispatcher::Window {
 public:
  explicit ToolWindow(std::string program) : program_(std::move(program)) {}
  void processPendingMessages() override;
  void showMessage(const std::u16string& text) override;
  void appendLogLine(const std::u16string&) override {}
  void restartHighlightTimer() override {}

 private:
  std::string program_;
};

class Bus {
 public:
  struct Setup {
    // Records kept of the last transactions for a traffic monitor; 0 for a bus without one, whose device then
    // has no tap over it either (a tool's).
    size_t trafficCapacity = TrafficLog::kCapacity;
    LineTimeouts timeouts;

    // A tool's bus.
    static Setup WithoutMonitor() {
      Setup setup;
      setup.trafficCapacity = 0;
      return setup;
    }
  };

  // `device` is the line; the bus puts the tap of its traffic log over it. `window` gives what only a window
  // has (a tool's stand-in writes messages to stderr) and outlives the bus.
  Bus(std::unique_ptr<SerialDevice> device, ExchangeDispatcher::Window& window);
  Bus(std::unique_ptr<SerialDevice> device, ExchangeDispatcher::Window& window, const Setup& setup);
  ~Bus();
  Bus(const Bus&) = delete;
  Bus& operator=(const Bus&) = delete;

  // Opens the port at `path` with `mode` (the mode string) and sets the bus's time-outs. False, with the port
  // closed, when either fails; Serial::LastFailure says why.
  bool open(const QString& path, const QString& mode);
  // Closes the port if it is open.
  void close();

  Serial& serial() { return serial_; }
  const Serial& serial() const { return serial_; }
  Modbus& modbus() { return modbus_; }
  ExchangeDispatcher& dispatcher() { return dispatcher_; }
  // The blocks the transducers on this line refused to be read as one, for as long as the port stays open.
  ReadRefusals& readRefusals() { return readRefusals_; }
  // The record of the traffic and the tap that times it; null on a bus without a traffic monitor.
  TrafficLog* trafficLog() { return trafficLog_ ? &*trafficLog_ : nullptr; }
  const LineTap* tap() const { return tap_; }
  const LineTimeouts& timeouts() const { return timeouts_; }
  // A transaction runs or the line is held (a line search): nothing else may start.
  bool busy() const { return modbus_.InTransaction(); }

 private:
  std::unique_ptr<SerialDevice> tapped(std::unique_ptr<SerialDevice> device, bool tap);

  LineTap* tap_ = nullptr;  // owned by serial_, set before it
  Serial serial_;
  Modbus modbus_{serial_};
  ReadRefusals readRefusals_{serial_};
  ExchangeDispatcher dispatcher_;
  std::optional<TrafficLog> trafficLog_;
  LineTimeouts timeouts_;
};

}  // namespace velnorex
