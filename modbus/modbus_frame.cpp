// The frame of the Modbus unit: the byte-order helpers, and "is the reply in hand complete yet?" for a read.
#include <cstring>

#include "modbus/function_codes.h"
#include "modbus/modbus.h"

namespace velnorex {

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
  FrameLength = static_cast<uint8_t>(AppendFrameCrc(RequestFrame, FrameLength));
}

void Modbus::setWord(int offset, uint16_t value) {
  RequestFrame[offset] = static_cast<uint8_t>(value >> 8);  // Modbus fields go high byte first
  RequestFrame[offset + 1] = static_cast<uint8_t>(value & 0xFF);
}

}  // namespace velnorex
