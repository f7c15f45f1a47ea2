// The spellings of parity and bus address that every tool shares.
#include "text/line_words.h"

namespace velnorex {

namespace {

bool EqualsIgnoringCase(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
    if (c != word[i]) return false;
  }
  return true;
}

}  // namespace

char ParseParity(std::string_view text) {
  for (const std::string_view word : {"none", "even", "odd"})
    if (EqualsIgnoringCase(text, word) || EqualsIgnoringCase(text, word.substr(0, 1))) return word[0];
  return 0;
}

const char* ParityName(char parity) {
  return parity == 'e' ? "even" : parity == 'o' ? "odd" : "none";
}

std::optional<int> ParseSlaveAddress(std::string_view text) {
  if (text.empty() || text.size() > 3) return std::nullopt;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < kFirstSlaveAddress || value > kLastSlaveAddress) return std::nullopt;
  return value;
}

}  // namespace velnorex
