// The one transaction: send the frame, read the reply with one retry read, take an adapter's echo off its
// front, check its CRC and that it answers this request, and report the outcome to the window as a result
// event. After a failure the next request waits until a late reply to it has come and gone.
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
  droppedLate_ = 0;
  if (quietNeeded_ && serial_.LineTimePasses() && !serial_.RepliesMatched() &&
      RepliesLookAlike(failedRequest_, failedRequestLength_, RequestFrame, FrameLength))
    waitForQuietLine(host);
  echoMayFollow_ = true;
  echoLength_ = 0;
  lateReply_ = false;
  replyMalformed_ = false;
  startedAt_ = std::chrono::steady_clock::now();

  // A failed write is not looked at: both reads then come back empty and the no-reply path follows.
  serial_.WritePort(RequestFrame, FrameLength);
  readReply();
  if (serial_.BytesRead == 0) {
    host.processPendingMessages();
    readReply();
    if (serial_.BytesRead == 0) {
      endTransaction(host, ExchangeResult::UM_TIMEOUT);
      return;
    }
    lateReply_ = true;
    host.appendLogLine(u".");  // the operator sees that the transducer answers late
  }
  const uint16_t length = serial_.BytesRead < static_cast<uint32_t>(Serial::kBufferSize)
                              ? static_cast<uint16_t>(serial_.BytesRead)
                              : static_cast<uint16_t>(Serial::kBufferSize);
  // A reply that is not this request's answer (another slave's or function's, or of another size) takes the
  // same road as one that fails its CRC: no value, and a group asks for the register again.
  const bool crcGood = CheckReplyCrc(serial_.ReplyBuffer, length);
  replyMalformed_ = crcGood && !ReplyFitsRequest(RequestFrame, FrameLength, serial_.ReplyBuffer, length);
  endTransaction(host, crcGood && !replyMalformed_ ? ExchangeResult::UM_REPLY : ExchangeResult::UM_CRCERROR);
}

void Modbus::endTransaction(ExchangeHost& host, ExchangeResult result) {
  const auto now = std::chrono::steady_clock::now();
  elapsed_ = now - startedAt_;
  // Late replies a network link recognised and dropped by itself count with those the guard dropped.
  droppedLate_ += serial_.device().takeDroppedLate();
  // Without a fitting reply the transducer may still be answering: a request it could be taken for waits.
  if (result != ExchangeResult::UM_REPLY) {
    quietNeeded_ = true;
    failedAt_ = now;
    failedRequestLength_ = static_cast<uint8_t>(std::min<size_t>(FrameLength, sizeof failedRequest_));
    std::memcpy(failedRequest_, RequestFrame, failedRequestLength_);
  }
  host.perform(result);
}

void Modbus::waitForQuietLine(ExchangeHost& host) {
  using Clock = std::chrono::steady_clock;
  quietNeeded_ = false;
  Clock::time_point lastHeard = failedAt_;
  const Clock::time_point limit = Clock::now() + kQuietLimit;
  // A line quiet for the guard since the failure needs nothing: anything left in the queue goes with the
  // purge before the request.
  while (serial_.PortOpen() && Clock::now() - lastHeard < kLateReplyGuard && Clock::now() < limit) {
    serial_.ReadPort();
    if (serial_.BytesRead > 0) {
      lastHeard = Clock::now();
      droppedLate_ += serial_.BytesRead;
    } else {
      host.processPendingMessages();
    }
  }
  serial_.BytesRead = 0;
}

void Modbus::readReply() {
  serial_.ReadPort(&replyCheck_);
  takeEcho();
  readRestOfReply();
}

bool Modbus::ReplyOutlastsRead() const {
  // Behind a network link the line's speed is unknown (a gateway's own): a reply that has begun is read on.
  if (serial_.NetworkLink()) return true;
  const uint32_t totalMs = serial_.Timeouts().ReadTotalTimeoutConstant;
  const PortSettings& line = serial_.DeviceControl();
  const RequestFields asked = DecodeRequest(RequestFrame, FrameLength);
  const size_t reply = ExpectedReplyLength(asked.function, asked.quantity);
  if (totalMs == 0 || line.baudRate <= 0 || reply == 0) return false;
  return ExchangeLineMs(FrameLength, reply, line) + kReplyAllowanceMs > totalMs;
}

void Modbus::readRestOfReply() {
  // The reply to a read of many registers (a planned block) may still be arriving when the first read's time
  // runs out: it is read on to its end, which only the whole reply or a silence makes. A short reply cut off
  // stays cut off.
  if (!ReplyOutlastsRead()) return;
  for (;;) {
    const size_t have = std::min<size_t>(serial_.BytesRead, Serial::kBufferSize);
    const size_t needed = ReplyLengthFromHeader(serial_.ReplyBuffer, have);
    if (needed == 0 || have >= needed || needed > Serial::kBufferSize) return;
    const uint32_t before = serial_.BytesRead;
    if (!serial_.ReadMorePort(&replyCheck_) || serial_.BytesRead == before) return;
  }
}

void Modbus::takeEcho() {
  // Only the first bytes of a transaction can be the echo.
  if (!echoMayFollow_ || serial_.BytesRead == 0) return;
  echoMayFollow_ = false;
  // A link that matches replies to requests itself (Modbus TCP) has no adapter that could echo: bytes that
  // begin with the request are a server's malformed answer, and taking them for an echo would teach the
  // exchange that this line echoes, so that every later reply that equals its request went as an echo.
  if (serial_.RepliesMatched()) return;
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
  summary.droppedLate = droppedLate_;
  summary.served = served_;
  return summary;
}

}  // namespace velnorex
