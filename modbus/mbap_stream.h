// Modbus TCP's framing: the MBAP header (transaction id, protocol 0, length, unit id) in front of the unit
// id's PDU, with no CRC. The exchange works in RTU frames; this turns a request frame into the ADU that goes
// over TCP, and reassembles the ADUs that come back out of a byte stream, however the stream cuts them, into
// the RTU frame the exchange reads, with the CRC it checks. Plain C++, no allocation.
#pragma once

#include <cstddef>
#include <cstdint>

#include "serial/serial_device.h"

namespace velnorex {

class MbapStream {
 public:
  static constexpr size_t kHeader = LinkHeaders::kSize;
  static constexpr size_t kMaxPdu = 253;
  static constexpr size_t kMaxAdu = kHeader - 1 + 1 + kMaxPdu;  // 260
  // The MBAP length counts the unit id and the PDU: a function code at least, at most a whole PDU.
  static constexpr uint16_t kMinLength = 2;
  static constexpr uint16_t kMaxLength = 1 + kMaxPdu;

  // What lies at the front of the bytes received.
  enum class Front {
    Incomplete,  // not yet a whole ADU
    Reply,       // the ADU answering the last request (its transaction id)
    Stale,       // a whole ADU with another transaction id: the answer to a request given up on
    Malformed,   // a header no ADU has (protocol, length, or a length its function cannot have)
  };

  // The ADU of an RTU frame (unit id, PDU, CRC; the CRC is not sent) with a new transaction id, into `adu`
  // (room for kMaxAdu); returns its length, 0 for a frame of fewer than four bytes or more than a PDU.
  size_t wrap(const uint8_t* frame, size_t length, uint8_t* adu);
  uint16_t transactionId() const { return transactionId_; }

  // Room for what the stream brings next, and how much; `received(n)` after n bytes were put there.
  uint8_t* space() { return buffer_ + held_; }
  size_t spaceLeft() const { return sizeof buffer_ - held_; }
  void received(size_t count);
  size_t held() const { return held_; }

  Front front() const;
  // The front ADU as an RTU frame with its CRC, into `frame` (cut at `capacity`: the cut frame's last two
  // bytes are no CRC, although by chance they may read as one);
  // returns the frame's length and drops the ADU. Its header is kept for `lastReplyHeader`.
  size_t takeFrame(uint8_t* frame, size_t capacity);
  // Drops the front ADU; returns its length.
  size_t dropFront();
  // Drops everything held (after a malformed header nothing after it can be trusted); returns the count.
  size_t dropAll();
  // The bytes held at the front, for handing a malformed frame up as it came.
  const uint8_t* data() const { return buffer_; }

  // Whole ADUs, or malformed headers, in `bytes`: a stream read may end when this is true.
  static bool HoldsFrontAdu(const uint8_t* bytes, size_t count);
  // The length of the ADU at the front of `bytes`: 0 while its header cannot be judged yet, -1 when it is
  // malformed.
  static int AduLength(const uint8_t* bytes, size_t count);

 private:
  uint16_t transactionId_ = 0;
  size_t held_ = 0;
  uint8_t buffer_[2 * kMaxAdu] = {};
};

}  // namespace velnorex
