// The MBAP header's checks come before the body is waited for: a length its function cannot have is a
// malformed frame at once, not a read that waits for bytes that never come.
#include "modbus/mbap_stream.h"

#include <algorithm>
#include <cstring>

#include "modbus/function_codes.h"
#include "modbus/rtu_frame.h"

namespace velnorex {

namespace {

uint16_t word(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

}  // namespace

size_t MbapStream::wrap(const uint8_t* frame, size_t length, uint8_t* adu) {
  if (length < 4 || length - 2 > kMaxLength) return 0;
  const size_t unitAndPdu = length - 2;
  ++transactionId_;
  adu[0] = static_cast<uint8_t>(transactionId_ >> 8);
  adu[1] = static_cast<uint8_t>(transactionId_);
  adu[2] = 0;
  adu[3] = 0;
  adu[4] = static_cast<uint8_t>(unitAndPdu >> 8);
  adu[5] = static_cast<uint8_t>(unitAndPdu);
  std::memcpy(adu + 6, frame, unitAndPdu);
  return 6 + unitAndPdu;
}

void MbapStream::received(size_t count) {
  held_ += std::min(count, spaceLeft());
}

int MbapStream::AduLength(const uint8_t* bytes, size_t count) {
  if (count >= 4 && word(bytes + 2) != 0) return -1;
  if (count < 6) return 0;
  const uint16_t length = word(bytes + 4);
  if (length < kMinLength || length > kMaxLength) return -1;
  // The unit id and the PDU's first bytes, read as an RTU reply's front, say how long the PDU must be.
  const size_t pdu = count - 6;
  if (pdu < 2) return 0;
  // A read's reply holds its byte count at least.
  if (length < 3 && IsReadFunction(bytes[7])) return -1;
  const size_t expected = ReplyLengthFromHeader(bytes + 6, std::min<size_t>(pdu, 3));
  // A read's byte count may still be on the way; a function the program does not size is taken as its
  // header says.
  if (expected == 0 && pdu < 3 && length >= 3) return 0;
  if (expected != 0 && expected - 2 != length) return -1;
  return static_cast<int>(6 + length);
}

bool MbapStream::HoldsFrontAdu(const uint8_t* bytes, size_t count) {
  const int length = AduLength(bytes, count);
  return length < 0 || (length > 0 && count >= static_cast<size_t>(length));
}

MbapStream::Front MbapStream::front() const {
  const int length = AduLength(buffer_, held_);
  if (length < 0) return Front::Malformed;
  if (length == 0 || held_ < static_cast<size_t>(length)) return Front::Incomplete;
  return word(buffer_) == transactionId_ ? Front::Reply : Front::Stale;
}

size_t MbapStream::takeFrame(uint8_t* frame, size_t capacity) {
  const int length = AduLength(buffer_, held_);
  if (length <= 0 || held_ < static_cast<size_t>(length)) return 0;
  const size_t unitAndPdu = static_cast<size_t>(length) - 6;
  uint8_t rtu[kMaxLength + 2];
  std::memcpy(rtu, buffer_ + 6, unitAndPdu);
  const size_t rtuLength = AppendFrameCrc(rtu, unitAndPdu);
  const size_t copied = std::min(rtuLength, capacity);
  std::memcpy(frame, rtu, copied);
  dropFront();
  return copied;
}

size_t MbapStream::dropFront() {
  const int length = AduLength(buffer_, held_);
  if (length <= 0 || held_ < static_cast<size_t>(length)) return 0;
  std::memmove(buffer_, buffer_ + length, held_ - static_cast<size_t>(length));
  held_ -= static_cast<size_t>(length);
  return static_cast<size_t>(length);
}

size_t MbapStream::dropAll() {
  const size_t dropped = held_;
  held_ = 0;
  return dropped;
}

}  // namespace velnorex
