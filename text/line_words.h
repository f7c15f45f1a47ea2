// How a line's parity and a transducer's bus address are written on a command line and shown: one spelling
// for every tool, so that what one prints another takes.
#pragma once

#include <optional>
#include <string_view>

namespace velnorex {

// The bus addresses a master may ask: 0 is the broadcast, 248 to 255 are reserved.
inline constexpr int kFirstSlaveAddress = 1;
inline constexpr int kLastSlaveAddress = 247;

// "none", "even" or "odd", or their first letters, in either case: 'n', 'e' or 'o'; 0 for anything else.
char ParseParity(std::string_view text);
// "none", "even" or "odd": the long spelling, which every tool prints.
const char* ParityName(char parity);

// A bus address written in decimal digits, 1 to 247; nothing for anything else.
std::optional<int> ParseSlaveAddress(std::string_view text);

}  // namespace velnorex
