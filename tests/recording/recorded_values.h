// Readings as a recording hands them on, made from the words a transducer holds, through the one codec.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "modbus/register_value.h"
#include "recording/recording_sink.h"

namespace velnorex::test {

inline RecordedValue Reading(uint8_t type, std::initializer_list<uint16_t> words) {
  const std::vector<uint16_t> w(words);
  RecordedValue reading;
  DecodeWords(type, w.data(), static_cast<int>(w.size()), reading.value);
  reading.text = DisplayText(reading.value);
  return reading;
}

// A REAL as the transducer holds it: the single's low 16 bits in the first register.
inline RecordedValue RealReading(float value, uint8_t type = kTypeReal) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return Reading(type, {static_cast<uint16_t>(bits & 0xFFFF), static_cast<uint16_t>(bits >> 16)});
}

inline RecordedValue FailedReading() {
  return RecordedValue{};
}

}  // namespace velnorex::test
