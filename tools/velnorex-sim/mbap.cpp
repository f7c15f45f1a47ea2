// MBAP framing and the translation between Modbus TCP frames and the RTU frames of the simulated slaves.
#include "tools/velnorex-sim/mbap.h"

#include <cstring>

#include "tools/velnorex-sim/rtu_slave.h"

namespace velnorex::sim {

MbapFraming FrameMbap(const uint8_t* bytes, size_t count, MbapHeader& header, size_t& frameLength) {
  frameLength = 0;
  if (count < kMbapHeader) return MbapFraming::NeedMore;
  header.transaction = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
  header.protocol = static_cast<uint16_t>(bytes[2] << 8 | bytes[3]);
  header.length = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
  header.unit = bytes[6];
  // The length is checked before anything waits for the body it announces.
  if (header.length < kMbapMinLength || header.length > kMbapMaxLength) return MbapFraming::BadLength;
  if (count < 6u + header.length) return MbapFraming::NeedMore;
  frameLength = 6u + header.length;
  return MbapFraming::Frame;
}

size_t RtuFromMbap(const uint8_t* frame, size_t frameLength, uint8_t address, uint8_t* rtu) {
  const size_t pdu = frameLength - kMbapHeader;
  rtu[0] = address;
  std::memcpy(rtu + 1, frame + kMbapHeader, pdu);
  const uint16_t crc = Crc16(rtu, 1 + pdu);
  rtu[1 + pdu] = static_cast<uint8_t>(crc & 0xFF);
  rtu[2 + pdu] = static_cast<uint8_t>(crc >> 8);
  return pdu + 3;
}

size_t MbapFromRtu(const MbapHeader& request, const uint8_t* rtu, size_t rtuLength, uint8_t* reply) {
  const size_t pdu = rtuLength - 3;
  reply[0] = static_cast<uint8_t>(request.transaction >> 8);
  reply[1] = static_cast<uint8_t>(request.transaction & 0xFF);
  reply[2] = 0;
  reply[3] = 0;
  reply[4] = static_cast<uint8_t>((pdu + 1) >> 8);
  reply[5] = static_cast<uint8_t>((pdu + 1) & 0xFF);
  reply[6] = request.unit;
  std::memcpy(reply + kMbapHeader, rtu + 1, pdu);
  return kMbapHeader + pdu;
}

}  // namespace velnorex::sim
