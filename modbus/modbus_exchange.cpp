// The one transaction: send the frame, read the reply with one retry read, take an adapter's echo off its
// front, check its CRC and report the outcome to the window as a result event.
#include <algorithm>
#include <cstring>

#include "modbus/function_codes.h"
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
  if (!serial_.PortOpen()) {
    host.showMessage(u"brak połączenia !");
    return;
  }
  TransactionScope scope(inTransaction_);
  echoMayFollow_ = true;
  echoLength_ = 0;
  lateReply_ = false;

  // A failed write is not looked at: both reads then come back empty and the no-reply path follows.
  serial_.WritePort(RequestFrame, FrameLength);
  readReply();
  if (serial_.BytesRead == 0) {
    host.processPendingMessages();
    readReply();
    if (serial_.BytesRead == 0) {
      host.perform(ExchangeResult::UM_TIMEOUT);
      return;
    }
    lateReply_ = true;
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

void Modbus::readReply() {
  serial_.ReadPort(&replyCheck_);
  // Only the first bytes of a transaction can be the echo.
  if (!echoMayFollow_ || serial_.BytesRead == 0) return;
  echoMayFollow_ = false;
  const size_t echo = RequestEchoLength(RequestFrame, FrameLength, serial_.ReplyBuffer, serial_.BytesRead);
  if (echo == 0) {
    lineEchoes_ = false;  // a reply with no echo in front of it: this adapter does not echo
    return;
  }
  // The request alone and then silence, for a function whose reply is the request: the reply itself, unless
  // this adapter has been seen echoing; then it is the echo of a request that got no answer in time.
  if (echo == serial_.BytesRead && ReplyEqualsRequest(FunctionCode()) && !LineEchoes()) return;
  lineEchoes_ = true;
  echoOpenCount_ = serial_.OpenCount();
  const bool bufferFull = serial_.BytesRead >= static_cast<uint32_t>(Serial::kBufferSize);
  removeEcho(echo);
  // The echo took room that the reply needs: the rest of the reply is read into the room it freed.
  if (bufferFull) serial_.ReadMorePort(&replyCheck_);
}

void Modbus::removeEcho(size_t length) {
  const size_t received = std::min<size_t>(serial_.BytesRead, Serial::kBufferSize);
  std::memmove(serial_.ReplyBuffer, serial_.ReplyBuffer + length, received - length);
  // Bytes beyond a short reply read as 0, as after the zero-fill before the request.
  std::memset(serial_.ReplyBuffer + (received - length), 0, length);
  serial_.BytesRead = static_cast<uint32_t>(received - length);
  echoLength_ = static_cast<uint8_t>(length);
}

TransactionSummary Modbus::Summary(ExchangeResult result) const {
  TransactionSummary summary;
  summary.result = result;
  summary.request = RequestFrame;
  summary.requestLength = FrameLength;
  summary.reply = serial_.ReplyBuffer;
  summary.replyLength = static_cast<uint8_t>(std::min<uint32_t>(serial_.BytesRead, Serial::kBufferSize));
  summary.echoLength = echoLength_;
  summary.late = lateReply_;
  return summary;
}

}  // namespace velnorex
