// The mode string of a connection, "<baud>,<parity>,<data bits>,<stop bits>", and the settings it asks for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velnorex {

// What a mode string such as "19200,e,8,1" asks for.
struct PortSettings {
  int32_t baudRate = 0;
  char parity = 'n';        // 'n', 'e', 'o', 'm' or 's'
  int dataBits = 8;         // 5..8
  int stopBitsTenths = 10;  // 10, 15 or 20
};

// "<baud>,<parity>,<data bits>,<stop bits>": baud a positive decimal integer, parity one of n e o m s (either
// case), data bits 5 to 8, stop bits 1, 1.5 or 2. Anything else is not accepted.
std::optional<PortSettings> ParseMode(std::string_view mode);
// The mode string of `settings`, as ParseMode reads it back ("19200,e,8,1", "9600,n,8,1.5").
std::string FormatMode(const PortSettings& settings);
// The line a transducer of ours is set to: 8 data bits, and with parity none two stop bits, else one.
PortSettings TransducerLine(int32_t baudRate, char parity);

// The time one character takes on the line (start bit, data bits, parity bit, stop bits), in nanoseconds; 0
// for a line without a baud rate.
int64_t CharacterNs(const PortSettings& settings);

}  // namespace velnorex
