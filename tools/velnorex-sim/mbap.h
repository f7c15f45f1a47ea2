// The Modbus TCP edge of the simulated transducers: a request in its MBAP header becomes the RTU frame the
// slaves already answer, and their RTU reply goes back under the request's header, so every fault of the
// serial line works over TCP alike.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velnorex::sim {

// Transaction id, protocol id, length, unit id.
inline constexpr size_t kMbapHeader = 7;
// The length field counts the unit id and the PDU: a function code at least, 253 bytes of PDU at most.
inline constexpr size_t kMbapMinLength = 2;
inline constexpr size_t kMbapMaxLength = 254;
inline constexpr size_t kMbapMaxFrame = 6 + kMbapMaxLength;

struct MbapHeader {
  uint16_t transaction = 0;
  uint16_t protocol = 0;
  uint16_t length = 0;
  uint8_t unit = 0;
};

enum class MbapFraming { NeedMore, Frame, BadLength };

// Whether the bytes in hand start with a whole frame; on Frame, `frameLength` is its size with the header.
// A length field out of range is BadLength: the stream can no longer be cut into frames.
MbapFraming FrameMbap(const uint8_t* bytes, size_t count, MbapHeader& header, size_t& frameLength);

// The RTU frame (unit id as the address, the PDU, the CRC) of a whole Modbus TCP frame; returns its size,
// at most kMbapMaxLength + 2. `rtu` takes that much.
size_t RtuFromMbap(const uint8_t* frame, size_t frameLength, uint8_t address, uint8_t* rtu);

// The Modbus TCP reply to `request` that carries an RTU reply (its address and CRC dropped, the request's
// transaction id and unit id put back); returns its size. `reply` takes kMbapHeader + rtuLength - 3 bytes.
size_t MbapFromRtu(const MbapHeader& request, const uint8_t* rtu, size_t rtuLength, uint8_t* reply);

}  // namespace velnorex::sim
