// Number texts and code page 1250 on arbitrary bytes. Integers and reals are accepted exactly when the text
// has the program's form (checked against a regular expression and std::from_chars, not against our own
// parser); every accepted number writes back to a text that reads as the same number; a real formatted as
// the tree shows it reads back to a value that formats to the same text, also through a single as a write
// sends it; every byte keeps its value through code page 1250 both ways.
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <regex>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "fuzz/harnesses.h"
#include "text/cp1250.h"
#include "text/errors.h"
#include "text/number_text.h"

namespace velnorex::fuzz {

namespace {

// std::regex recurses per character; number texts are short.
constexpr size_t kLongestText = 256;

// The text when it is ASCII and short enough to hold a number at all.
std::optional<std::string> Ascii(std::u16string_view text) {
  if (text.size() > kLongestText) return std::nullopt;
  std::string out;
  for (char16_t c : text) {
    if (c == 0 || c > 0x7F) return std::nullopt;
    out.push_back(static_cast<char>(c));
  }
  return out;
}

// The message of a conversion error: the text in quotes and the complaint (what() ends at a 0 in the text).
bool SaysRefused(const ConvertError& e, std::u16string_view text, const char* complaint) {
  const std::string message = "'" + ToUtf8(text) + "' " + complaint;
  return std::string(e.what()) == message.substr(0, message.find('\0'));
}

// Optional leading blanks and sign, then decimal digits or "$" and hexadecimal digits: signed 32-bit, the
// hexadecimal form up to $FFFFFFFF wrapping into the negative numbers.
std::optional<int32_t> ExpectedInteger(std::u16string_view text) {
  static const std::regex form(R"(^ *([+-]?)(\$?)([0-9A-Fa-f]+)$)");
  const std::optional<std::string> ascii = Ascii(text);
  std::smatch m;
  if (!ascii || !std::regex_match(*ascii, m, form)) return std::nullopt;
  const bool negative = m[1] == "-", hex = m[2].length() > 0;
  const std::string digits = m[3];
  uint64_t magnitude = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, hex ? 16 : 10);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  if (hex) {
    if (magnitude > 0xFFFFFFFFu) return std::nullopt;
    const uint32_t bits = static_cast<uint32_t>(negative ? 0u - magnitude : magnitude);
    return static_cast<int32_t>(bits);
  }
  if (magnitude > (negative ? 2147483648u : 2147483647u)) return std::nullopt;
  return static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude));
}

void CheckInteger(std::u16string_view text) {
  int32_t value = 0;
  const bool accepted = TryStrToInt(text, value);
  const std::optional<int32_t> expected = ExpectedInteger(text);
  VELNOREX_FUZZ_CHECK(accepted == expected.has_value());
  VELNOREX_FUZZ_CHECK(!accepted || value == *expected);
  bool refused = false;
  try {
    VELNOREX_FUZZ_CHECK(StrToInt(text) == value);
  } catch (const ConvertError& e) {
    refused = true;
    VELNOREX_FUZZ_CHECK(SaysRefused(e, text, "is not a valid integer value"));
  }
  VELNOREX_FUZZ_CHECK(refused == !accepted);
  if (!accepted) return;
  VELNOREX_FUZZ_CHECK(StrToInt(IntToStr(value)) == value);
  VELNOREX_FUZZ_CHECK(StrToInt(u"$" + IntToHex(static_cast<uint32_t>(value), 1)) == value);
}

// Optional blanks around, a sign, digits with at most one ',' among or after them, an optional exponent.
void CheckReal(std::u16string_view text) {
  static const std::regex form(R"(^ *([+-]?)([0-9]*)(,?)([0-9]*)([eE][+-]?[0-9]+)? *$)");
  double value = 0;
  const bool accepted = TryStrToFloat(text, value);
  bool refused = false;
  try {
    const double again = StrToFloat(text);
    VELNOREX_FUZZ_CHECK(std::memcmp(&again, &value, sizeof value) == 0);
  } catch (const ConvertError& e) {
    refused = true;
    VELNOREX_FUZZ_CHECK(SaysRefused(e, text, "is not a valid floating point value"));
  }
  VELNOREX_FUZZ_CHECK(refused == !accepted);

  const std::optional<std::string> ascii = Ascii(text);
  std::smatch m;
  const bool hasForm = ascii && std::regex_match(*ascii, m, form) && m[2].length() + m[4].length() > 0;
  if (!hasForm) {
    VELNOREX_FUZZ_CHECK(!accepted);
    return;
  }
  const std::string plain = (m[1] == "-" ? "-" : "") + m[2].str() + "." + m[4].str() + m[5].str();
  double expected = 0;
  const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), expected);
  VELNOREX_FUZZ_CHECK(end == plain.data() + plain.size());
  if (error == std::errc()) {
    VELNOREX_FUZZ_CHECK(accepted && std::memcmp(&expected, &value, sizeof value) == 0);
  } else {
    // Out of range: too large is refused, too small may read as 0 or a denormal.
    VELNOREX_FUZZ_CHECK(!accepted || std::fabs(value) < 1e-300);
  }
  if (accepted) VELNOREX_FUZZ_CHECK(std::isfinite(value));
}

bool HasDecimals(const std::u16string& text, int decimals) {
  const size_t comma = text.find(kDecimalSeparator);
  if (decimals == 0) return comma == std::u16string::npos;
  return comma != std::u16string::npos && text.size() - comma - 1 == static_cast<size_t>(decimals);
}

// `value` formatted with `decimals` reads back to a value that formats to the same text and lies within
// half a unit of the last decimal; with `single`, the value read back goes through a single first, as a
// write of a REAL register sends it.
void CheckFormatted(double value, int decimals, bool single) {
  const std::u16string text = FormatFloat(value, decimals);
  if (std::isnan(value)) {
    VELNOREX_FUZZ_CHECK(text == u"NAN");
    return;
  }
  if (std::isinf(value)) {
    VELNOREX_FUZZ_CHECK(text == (value < 0 ? u"-INF" : u"INF"));
    return;
  }
  VELNOREX_FUZZ_CHECK(HasDecimals(text, decimals));
  double back = 0;
  VELNOREX_FUZZ_CHECK(TryStrToFloat(text, back));
  if (single) back = static_cast<double>(static_cast<float>(back));
  VELNOREX_FUZZ_CHECK(FormatFloat(back, decimals) == text);
  const double tolerance = 0.5 * std::pow(10.0, -decimals) + std::fabs(value) * (single ? 0x1p-23 : 0x1p-52);
  VELNOREX_FUZZ_CHECK(std::fabs(back - value) <= tolerance);
}

}  // namespace

int FuzzNumberText(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // Every byte reads as one character and writes back as itself.
  const std::u16string eightBit = FromCp1250(bytes);
  VELNOREX_FUZZ_CHECK(eightBit.size() == size && ToCp1250(eightBit) == bytes);

  // Any UTF-16 text: a character the code page holds comes back, any other becomes '?'.
  std::u16string units(size / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
  const std::string encoded = ToCp1250(units);
  VELNOREX_FUZZ_CHECK(encoded.size() == units.size());
  const std::u16string decoded = FromCp1250(encoded);
  for (size_t i = 0; i < units.size(); ++i) VELNOREX_FUZZ_CHECK(decoded[i] == units[i] || encoded[i] == '?');

  // UTF-8 both ways: a decoded text encodes and decodes to itself; an unpaired surrogate becomes U+FFFD.
  const std::u16string fromUtf8 = FromUtf8(bytes);
  VELNOREX_FUZZ_CHECK(FromUtf8(ToUtf8(fromUtf8)) == fromUtf8);
  const std::u16string unitsBack = FromUtf8(ToUtf8(units));
  VELNOREX_FUZZ_CHECK(unitsBack.size() == units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    const bool surrogate = units[i] >= 0xD800 && units[i] <= 0xDFFF;
    VELNOREX_FUZZ_CHECK(unitsBack[i] == units[i] || (surrogate && unitsBack[i] == 0xFFFD));
  }

  for (const std::u16string& text : {eightBit, units}) {
    CheckInteger(text);
    CheckReal(text);
    double value = 0;
    if (TryStrToFloat(text, value)) {
      CheckFormatted(value, 2, false);
      CheckFormatted(value, 10, false);
    }
  }

  // The bytes as the single of a REAL register and as a double, with the tree's decimals and any other.
  const int decimals = size > 0 ? data[size - 1] % 21 : 0;
  if (size >= 4) {
    float single;
    std::memcpy(&single, data, sizeof single);
    for (int d : {2, 10}) CheckFormatted(static_cast<double>(single), d, true);
  }
  if (size >= 8) {
    double value;
    std::memcpy(&value, data, sizeof value);
    for (int d : {2, 10, decimals}) CheckFormatted(value, d, false);
  }
  return 0;
}

}  // namespace velnorex::fuzz
