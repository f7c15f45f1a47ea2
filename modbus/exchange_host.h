// What the exchange hands its outcome to, so that modbus/ never includes the window.
#pragma once

#include <string>

namespace velnorex {

// The outcome of one transaction, delivered by a direct, synchronous call.
enum class ExchangeResult {
  UM_REPLY,     // a reply with a valid CRC is in the ReplyBuffer
  UM_TIMEOUT,   // no byte came within either read
  UM_CRCERROR,  // bytes came, but their CRC does not match
};

class ExchangeHost {
 public:
  virtual ~ExchangeHost() = default;
  // Handles `result` before returning.
  virtual void perform(ExchangeResult result) = 0;
  // Lets the window process its pending messages once (paint, input, timers) between the two reads.
  virtual void processPendingMessages() = 0;
  // A modal message box with an OK button ("brak połączenia !").
  virtual void showMessage(const std::u16string& text) = 0;
  // Appends one line to the log window (the "." of a late reply).
  virtual void appendLogLine(const std::u16string& line) = 0;
};

}  // namespace velnorex
