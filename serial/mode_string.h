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

// The time one character takes on the line (start bit, data bits, parity bit, stop bits), in nanoseconds; 0
// for a line without a baud rate.
int64_t CharacterNs(const PortSettings& settings);
// The silence that ends an RTU frame: 3.5 characters, and above 19200 baud the fixed 1750 microseconds that
// the RTU line rules give instead.
int64_t FrameGapNs(const PortSettings& settings);
// The settings of a Modbus RTU line at `baudRate` with parity 'e', 'o' or none (anything else): 8 data bits,
// and 1 stop bit after a parity bit or 2 without one, 11 bits a character either way.
PortSettings RtuLine(int32_t baudRate, char parity);

// The mode string of a Modbus RTU line at `baudText` (passed on unchecked: ParseMode decides) with parity
// 'e', 'o' or none (anything else): 8 data bits, and 1 stop bit after a parity bit or 2 without one.
std::string RtuModeString(std::string_view baudText, char parity);

}  // namespace velnorex
