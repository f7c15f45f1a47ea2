// What the exchange needs from the main window, so that modbus/ never includes the window.
#pragma once

#include <string>

namespace velnorex {

// Result events of a transaction, delivered by a direct, synchronous call.
enum class WindowMessage : unsigned {
  UM_NEXT = 1025,
  UM_REPLY = 1026,
  UM_TIMEOUT = 1027,
  UM_CRCERROR = 1029,
};

class ExchangeHost {
 public:
  virtual ~ExchangeHost() = default;
  // Runs the window's handler of `message` before returning.
  virtual void Perform(WindowMessage message) = 0;
  // Lets the window process its pending messages once (paint, input, timers).
  virtual void ProcessPendingMessages() = 0;
  // A modal message box with an OK button ("brak połączenia !").
  virtual void ShowMessage(const std::u16string& text) = 0;
  // Appends one line to the log window.
  virtual void AppendLogLine(const std::u16string& line) = 0;
};

}  // namespace velnorex
