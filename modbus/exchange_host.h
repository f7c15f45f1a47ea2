// What the exchange hands its outcome to, so that modbus/ never includes the window.
#pragma once

#include <cstdint>
#include <string>

namespace velnorex {

// The outcome of one transaction, delivered by a direct, synchronous call.
enum class ExchangeResult {
  UM_REPLY,     // a reply with a valid CRC is in the ReplyBuffer
  UM_TIMEOUT,   // no byte came within either read
  UM_CRCERROR,  // bytes came, but their CRC does not match
};

// The registers a read of several serves (a planned block): bit i stands for the register at the request's
// first address + i, set where a register the block serves begins. All clear for a read of one register.
struct ServedRegisters {
  static constexpr int kSpan = 128;
  uint64_t starts[kSpan / 64] = {};

  void set(int offset) {
    if (offset >= 0 && offset < kSpan) starts[offset / 64] |= uint64_t{1} << (offset % 64);
  }
  bool has(int offset) const {
    return offset >= 0 && offset < kSpan && (starts[offset / 64] >> (offset % 64)) & 1;
  }
  bool any() const { return starts[0] || starts[1]; }
};

// The end of one transaction as the line saw it: what went out, what came back once the adapter's echo was
// taken off its front, and how it ended. The pointers hold only while the summary is being looked at.
struct TransactionSummary {
  ExchangeResult result = ExchangeResult::UM_TIMEOUT;
  const uint8_t* request = nullptr;
  uint8_t requestLength = 0;
  const uint8_t* reply = nullptr;
  uint8_t replyLength = 0;
  uint8_t echoLength = 0;  // bytes of echo removed in front of the reply; 0 for none
  bool late = false;       // the reply came only in the retry read
  // Bytes of an earlier transaction's late reply discarded before this request went out; 0 for none.
  uint32_t droppedLate = 0;
  ServedRegisters served;

  // A valid reply in which the slave refused the request.
  bool exception() const {
    return result == ExchangeResult::UM_REPLY && replyLength > 2 && (reply[1] & 0x80);
  }
  uint8_t exceptionCode() const { return exception() ? reply[2] : 0; }
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
