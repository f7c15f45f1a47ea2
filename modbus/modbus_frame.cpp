// The RTU framing: CRC-16/MODBUS, the byte-order helpers, and "is the reply in hand complete yet?".
#include <cstring>

#include "modbus/function_codes.h"
#include "modbus/modbus.h"

namespace velnorex {

uint16_t Crc16(const uint8_t* bytes, uint16_t length) {
  uint16_t crc = 0xFFFF;
  for (uint16_t i = 0; i < length; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) {
      const bool carry = crc & 1;
      crc >>= 1;
      if (carry) crc ^= 0xA001;  // 0x8005 reflected: RTU sends the least significant bit first
    }
  }
  return crc;
}

bool CheckReplyCrc(const uint8_t* bytes, uint16_t length) {
  if (length < 2) return false;
  const uint16_t received = static_cast<uint16_t>(bytes[length - 1] << 8 | bytes[length - 2]);
  return received == Crc16(bytes, static_cast<uint16_t>(length - 2));
}

void SwapWord(uint16_t* value) {
  *value = static_cast<uint16_t>(*value << 8 | *value >> 8);
}

void SwapBytePairs(uint8_t* bytes, uint16_t byteCount) {
  for (uint16_t i = 0; i + 1 < byteCount; i += 2) {
    const uint8_t first = bytes[i];
    bytes[i] = bytes[i + 1];
    bytes[i + 1] = first;
  }
}

bool ReplyComplete(const uint8_t* bytes, size_t count) {
  if (count < 2) return false;
  size_t needed;
  if (bytes[1] & kExceptionBit) {
    needed = 5;  // address, function, exception code, CRC
  } else if (bytes[1] == kReadHoldingRegisters) {
    if (count < 3) return false;
    needed = 5 + size_t{bytes[2]};  // address, function, byte count, data, CRC
  } else if (ReplyEchoesRequestHead(bytes[1])) {
    needed = 8;
  } else {
    return false;  // not an answer we can size: let the read run to its time-out
  }
  return count == needed && CheckReplyCrc(bytes, static_cast<uint16_t>(needed));
}

bool ReplyFitsRequest(uint8_t requestFunction, uint8_t registerCount, const uint8_t* bytes, size_t count) {
  if (count >= 2 && (bytes[1] & kExceptionBit)) return count == 5;  // address, function, exception code, CRC
  if (requestFunction == kReadHoldingRegisters) {
    // A byte count other than the request asked for decodes into no value or into someone else's.
    const size_t byteCount = 2 * size_t{registerCount};
    return count == 5 + byteCount && bytes[2] == byteCount;
  }
  if (ReplyEchoesRequestHead(requestFunction)) return count == 8;
  return true;
}

size_t RequestEchoLength(const uint8_t* request, size_t requestLength, const uint8_t* bytes, size_t count) {
  if (requestLength == 0 || count < requestLength) return 0;
  return std::memcmp(bytes, request, requestLength) == 0 ? requestLength : 0;
}

bool ReplyCompleteAfterEcho(const uint8_t* request, size_t requestLength, const uint8_t* bytes,
                            size_t count) {
  // The echo, whole or in part, with nothing after it yet: only what follows can tell an echo from a reply.
  // (A function 6 or 8 reply that equals the request is ended by the quiet after it instead.)
  if (count <= requestLength && std::memcmp(bytes, request, count) == 0) return false;
  const size_t echo = RequestEchoLength(request, requestLength, bytes, count);
  return ReplyComplete(bytes + echo, count - echo);
}

bool ModbusReplyCheck::complete(const uint8_t* bytes, size_t count) const {
  if (!modbus_.EchoMayFollow()) return ReplyComplete(bytes, count);
  return ReplyCompleteAfterEcho(modbus_.RequestFrame, modbus_.FrameLength, bytes, count);
}

uint32_t ModbusReplyCheck::quietToComplete(const uint8_t* bytes, size_t count) const {
  if (!modbus_.EchoMayFollow() || !ReplyEqualsRequest(modbus_.FunctionCode()) || modbus_.LineEchoes())
    return 0;
  if (count != modbus_.FrameLength ||
      RequestEchoLength(modbus_.RequestFrame, modbus_.FrameLength, bytes, count) != count)
    return 0;
  return modbus_.FrameGapUs();
}

Modbus::Modbus(Serial& serial) : serial_(serial) {}

uint32_t Modbus::FrameGapUs() const {
  return static_cast<uint32_t>(FrameGapNs(serial_.DeviceControl()) / 1000);
}

void Modbus::AppendCrc() {
  if (FrameLength > kFrameSize - 2) return;
  const uint16_t crc = Crc16(RequestFrame, FrameLength);
  RequestFrame[FrameLength] = static_cast<uint8_t>(crc & 0xFF);
  RequestFrame[FrameLength + 1] = static_cast<uint8_t>(crc >> 8);
  FrameLength = static_cast<uint8_t>(FrameLength + 2);
}

void Modbus::setWord(int offset, uint16_t value) {
  RequestFrame[offset] = static_cast<uint8_t>(value >> 8);  // Modbus fields go high byte first
  RequestFrame[offset + 1] = static_cast<uint8_t>(value & 0xFF);
}

}  // namespace velnorex
