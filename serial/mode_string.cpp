// The mode-string parser, "<baud>,<parity>,<data bits>,<stop bits>" as the connection panel builds it.
#include <charconv>
#include <cstdint>
#include <limits>

#include "serial/mode_string.h"

namespace velnorex {

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

// Blanks around an item are allowed, as "19200, e, 8, 1" is an easy thing to type.
std::string_view trimmed(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::optional<int32_t> parseBaud(std::string_view s) {
  if (s.empty()) return std::nullopt;
  for (char c : s)
    if (c < '0' || c > '9') return std::nullopt;  // no sign, no blanks inside, no other base
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  if (value <= 0 || value > std::numeric_limits<int32_t>::max()) return std::nullopt;
  return static_cast<int32_t>(value);
}

}  // namespace

std::optional<PortSettings> ParseMode(std::string_view mode) {
  std::string_view items[4];
  int count = 0;
  for (;;) {
    const size_t comma = mode.find(',');
    if (count == 4) return std::nullopt;
    items[count++] = trimmed(mode.substr(0, comma));
    if (comma == std::string_view::npos) break;
    mode.remove_prefix(comma + 1);
  }
  if (count != 4) return std::nullopt;

  PortSettings settings;
  const auto baud = parseBaud(items[0]);
  if (!baud) return std::nullopt;
  settings.baudRate = *baud;

  if (items[1].size() != 1) return std::nullopt;
  switch (items[1][0]) {
    case 'n':
    case 'N':
      settings.parity = 'n';
      break;
    case 'e':
    case 'E':
      settings.parity = 'e';
      break;
    case 'o':
    case 'O':
      settings.parity = 'o';
      break;
    case 'm':
    case 'M':
      settings.parity = 'm';
      break;
    case 's':
    case 'S':
      settings.parity = 's';
      break;
    default:
      return std::nullopt;
  }

  if (items[2].size() != 1 || items[2][0] < '5' || items[2][0] > '8') return std::nullopt;
  settings.dataBits = items[2][0] - '0';

  if (items[3] == "1")
    settings.stopBitsTenths = 10;
  else if (items[3] == "1.5")
    settings.stopBitsTenths = 15;
  else if (items[3] == "2")
    settings.stopBitsTenths = 20;
  else
    return std::nullopt;
  return settings;
}

int64_t CharacterNs(const PortSettings& settings) {
  if (settings.baudRate <= 0) return 0;
  // In tenths of a bit, for one and a half stop bits.
  const int64_t tenths =
      10 * (1 + settings.dataBits + (settings.parity == 'n' ? 0 : 1)) + settings.stopBitsTenths;
  return tenths * 100000000LL / settings.baudRate;
}

int64_t FrameGapNs(const PortSettings& settings) {
  constexpr int64_t kFastLineGapNs = 1750000;
  const int64_t characterNs = CharacterNs(settings);
  if (characterNs <= 0 || settings.baudRate > 19200) return kFastLineGapNs;
  return characterNs * 35 / 10;
}

PortSettings RtuLine(int32_t baudRate, char parity) {
  PortSettings settings;
  settings.baudRate = baudRate;
  settings.parity = parity == 'e' || parity == 'o' ? parity : 'n';
  settings.dataBits = 8;
  settings.stopBitsTenths = settings.parity == 'n' ? 20 : 10;
  return settings;
}

std::string RtuModeString(std::string_view baudText, char parity) {
  // An RTU character is 11 bits: start, 8 data, parity, stop. Without a parity bit the second stop bit keeps
  // the character at 11 bits, as the Modbus serial line rules ask.
  switch (parity) {
    case 'e':
      return std::string(baudText) + ",e,8,1";
    case 'o':
      return std::string(baudText) + ",o,8,1";
    default:
      return std::string(baudText) + ",n,8,2";
  }
}

}  // namespace velnorex
