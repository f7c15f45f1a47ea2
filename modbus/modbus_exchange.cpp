// The one transaction: send the frame, read the reply with one retry read, check its CRC and report the
// outcome to the window as a result event.
#include "modbus/modbus.h"

namespace velnorex {

namespace {

// Clears the in-transaction flag however the transaction ends: a result handler may end its operation with
// an exception (a conversion error while showing the value).
class TransactionScope {
 public:
  explicit TransactionScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~TransactionScope() { flag_ = false; }
  TransactionScope(const TransactionScope&) = delete;
  TransactionScope& operator=(const TransactionScope&) = delete;

 private:
  bool& flag_;
};

}  // namespace

bool Modbus::LineHold::take() {
  if (held_) return true;
  if (modbus_.inTransaction_) return false;
  modbus_.inTransaction_ = held_ = true;
  return true;
}

void Modbus::LineHold::release() {
  if (!held_) return;
  held_ = false;
  modbus_.inTransaction_ = false;
}

void Modbus::Exchange(ExchangeHost& host) {
  // Entered again from the pending messages or from a result handler: the running transaction owns the frame
  // and the ReplyBuffer, and a second request on the line would take the first one's reply.
  if (inTransaction_) return;
  if (!serial_.PortOpen) {
    host.showMessage(u"brak połączenia !");
    return;
  }
  TransactionScope scope(inTransaction_);

  // A failed write is not looked at: both reads then come back empty and the no-reply path follows.
  serial_.WritePort(RequestFrame, FrameLength);
  serial_.ReadPort(&replyCheck_);
  if (serial_.BytesRead == 0) {
    host.processPendingMessages();
    serial_.ReadPort(&replyCheck_);
    if (serial_.BytesRead == 0) {
      host.perform(ExchangeResult::UM_TIMEOUT);
      return;
    }
    host.appendLogLine(u".");  // the operator sees that the transducer answers late
  }
  const uint16_t length = serial_.BytesRead < static_cast<uint32_t>(Serial::kBufferSize)
                              ? static_cast<uint16_t>(serial_.BytesRead)
                              : static_cast<uint16_t>(Serial::kBufferSize);
  // A reply that does not fit the request takes the same road as one that fails its CRC: no value, and a
  // group asks for the register again.
  const bool good = CheckReplyCrc(serial_.ReplyBuffer, length) &&
                    ReplyFitsRequest(FunctionCode(), RegisterCount, serial_.ReplyBuffer, length);
  host.perform(good ? ExchangeResult::UM_REPLY : ExchangeResult::UM_CRCERROR);
}

}  // namespace velnorex
