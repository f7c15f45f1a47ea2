// Byte frames in tests: hexadecimal text for readable failures, and the RTU CRC appended as on the wire.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "modbus/modbus.h"
#include "serial/serial_device.h"

namespace velnorex::test {

using Bytes = std::vector<uint8_t>;

inline std::string Hex(const uint8_t* bytes, size_t count) {
  std::string text;
  char byte[4];
  for (size_t i = 0; i < count; ++i) {
    std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", bytes[i]);
    text += byte;
  }
  return text;
}
inline std::string Hex(const Bytes& bytes) {
  return Hex(bytes.data(), bytes.size());
}

// The frame with its CRC appended, low byte first.
inline Bytes WithCrc(Bytes frame) {
  const uint16_t crc = Crc16(frame.data(), static_cast<uint16_t>(frame.size()));
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  return frame;
}

// A reply check that is satisfied once the given number of bytes is in hand; counts how often it was asked.
class CountCheck : public ReplyCheck {
 public:
  explicit CountCheck(size_t count) : count_(count) {}
  bool complete(const uint8_t*, size_t count) const override {
    ++calls;
    return count >= count_;
  }
  mutable int calls = 0;

 private:
  size_t count_;
};

}  // namespace velnorex::test
