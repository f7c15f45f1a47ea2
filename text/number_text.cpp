// Number texts of the register fields and edits: the integer and real conversions every unit shares, kept
// independent of the C locale so that ',' is the separator whatever the process environment says.
#include "text/number_text.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "text/errors.h"

namespace velnorex {

namespace {

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

}  // namespace

bool TryStrToInt(std::u16string_view text, int32_t& value) {
  size_t i = 0;
  // Leading blanks are skipped as the toolkit's conversion does; trailing ones are refused.
  while (i < text.size() && text[i] == u' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
    negative = text[i] == u'-';
    ++i;
  }
  if (i >= text.size()) return false;
  if (text[i] == u'$') {
    ++i;
    if (i >= text.size()) return false;
    uint64_t acc = 0;
    for (; i < text.size(); ++i) {
      int h = HexValue(text[i]);
      if (h < 0) return false;
      acc = acc * 16 + static_cast<uint64_t>(h);
      if (acc > 0xFFFFFFFFull) return false;
    }
    uint32_t bits = static_cast<uint32_t>(acc);
    if (negative) bits = 0u - bits;
    value = static_cast<int32_t>(bits);
    return true;
  }
  uint64_t acc = 0;
  const uint64_t limit = negative ? 2147483648ull : 2147483647ull;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return false;
    acc = acc * 10 + static_cast<uint64_t>(text[i] - u'0');
    if (acc > limit) return false;
  }
  int64_t signedValue = negative ? -static_cast<int64_t>(acc) : static_cast<int64_t>(acc);
  value = static_cast<int32_t>(signedValue);
  return true;
}

int32_t StrToInt(std::u16string_view text) {
  int32_t value = 0;
  if (!TryStrToInt(text, value)) {
    throw ConvertError("'" + ToUtf8(text) + "' is not a valid integer value");
  }
  return value;
}

bool TryStrToFloat(std::u16string_view text, double& value) {
  // The text is brought into the "C" form (ASCII, '.') by hand and handed to strtod only after it has been
  // checked completely, so neither the locale nor strtod's extra forms (hex, inf, nan) can slip in.
  size_t i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  size_t end = text.size();
  while (end > i && text[end - 1] == u' ') --end;
  std::string plain;
  if (i < end && (text[i] == u'+' || text[i] == u'-')) plain.push_back(static_cast<char>(text[i++]));
  size_t mantissaDigits = 0;
  while (i < end && IsDigit(text[i])) {
    plain.push_back(static_cast<char>(text[i++]));
    ++mantissaDigits;
  }
  if (i < end && text[i] == kDecimalSeparator) {
    plain.push_back('.');
    ++i;
    while (i < end && IsDigit(text[i])) {
      plain.push_back(static_cast<char>(text[i++]));
      ++mantissaDigits;
    }
  }
  if (mantissaDigits == 0) return false;
  if (i < end && (text[i] == u'e' || text[i] == u'E')) {
    plain.push_back('e');
    ++i;
    if (i < end && (text[i] == u'+' || text[i] == u'-')) plain.push_back(static_cast<char>(text[i++]));
    size_t expDigits = 0;
    while (i < end && IsDigit(text[i])) {
      plain.push_back(static_cast<char>(text[i++]));
      ++expDigits;
    }
    if (expDigits == 0) return false;
  }
  if (i != end) return false;
  // strtod reads '.' only in the "C" locale; the program never changes LC_NUMERIC, but guard anyway by
  // replacing '.' with the current locale's point.
  const char* point = std::localeconv()->decimal_point;
  if (point && std::strcmp(point, ".") != 0) {
    size_t dot = plain.find('.');
    if (dot != std::string::npos) plain.replace(dot, 1, point);
  }
  char* stop = nullptr;
  double result = std::strtod(plain.c_str(), &stop);
  if (stop != plain.c_str() + plain.size()) return false;
  if (std::isinf(result)) return false;  // out of the range of a double
  value = result;
  return true;
}

double StrToFloat(std::u16string_view text) {
  double value = 0;
  if (!TryStrToFloat(text, value)) {
    throw ConvertError("'" + ToUtf8(text) + "' is not a valid floating point value");
  }
  return value;
}

std::u16string FormatFloat(double value, int decimals) {
  if (std::isnan(value)) return u"NAN";
  if (std::isinf(value)) return value < 0 ? u"-INF" : u"INF";
  if (decimals < 0) decimals = 0;
  if (decimals > 20) decimals = 20;
  // printf with many digits gives the exact decimal expansion of the binary value (glibc prints exactly),
  // so rounding half away from zero can be done on the digits themselves.
  // 1080 fractional digits hold the exact expansion of every double (at most 1074), so no rounding by printf
  // can carry into the digits that matter.
  char buffer[1500];
  int len = std::snprintf(buffer, sizeof buffer, "%.*f", 1080, std::fabs(value));
  if (len <= 0 || len >= static_cast<int>(sizeof buffer)) return u"NAN";
  std::string digits(buffer, static_cast<size_t>(len));
  // The '.' may be a locale's point of any length; find the first non-digit.
  size_t pointPos = 0;
  while (pointPos < digits.size() && digits[pointPos] >= '0' && digits[pointPos] <= '9') ++pointPos;
  std::string intPart = digits.substr(0, pointPos);
  size_t fracStart = pointPos;
  while (fracStart < digits.size() && !(digits[fracStart] >= '0' && digits[fracStart] <= '9')) ++fracStart;
  std::string frac = digits.substr(fracStart);
  std::string all = intPart + frac.substr(0, static_cast<size_t>(decimals));
  // The dropped digits are at least half a unit of the last kept one exactly when the first of them is 5 or
  // more: that is rounding half away from zero on the exact value.
  bool roundUp = frac.size() > static_cast<size_t>(decimals) && frac[static_cast<size_t>(decimals)] >= '5';
  if (roundUp) {
    int k = static_cast<int>(all.size()) - 1;
    while (k >= 0) {
      if (all[static_cast<size_t>(k)] == '9') {
        all[static_cast<size_t>(k)] = '0';
        --k;
      } else {
        ++all[static_cast<size_t>(k)];
        break;
      }
    }
    if (k < 0) all.insert(all.begin(), '1');
  }
  size_t intLen = all.size() - static_cast<size_t>(decimals);
  std::string outInt = all.substr(0, intLen);
  size_t firstNonZero = outInt.find_first_not_of('0');
  outInt = firstNonZero == std::string::npos ? "0" : outInt.substr(firstNonZero);
  std::string outFrac = all.substr(intLen);
  bool isZero = outInt == "0" && outFrac.find_first_not_of('0') == std::string::npos;
  std::u16string result;
  if (value < 0 && !isZero) result.push_back(u'-');
  for (char c : outInt) result.push_back(static_cast<char16_t>(c));
  if (decimals > 0) {
    result.push_back(kDecimalSeparator);
    for (char c : outFrac) result.push_back(static_cast<char16_t>(c));
  }
  return result;
}

std::u16string IntToStr(int64_t value) {
  std::u16string out;
  uint64_t magnitude = value < 0 ? 0ull - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    out.insert(out.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) out.insert(out.begin(), u'-');
  return out;
}

std::u16string IntToHex(uint32_t value, int minDigits) {
  static const char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string out;
  do {
    out.insert(out.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  while (static_cast<int>(out.size()) < minDigits) out.insert(out.begin(), u'0');
  return out;
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const uint8_t b0 = static_cast<uint8_t>(text[i]);
    uint32_t c = 0;
    size_t need = 0;
    uint32_t min = 0;
    if (b0 < 0x80) {
      out.push_back(b0);
      ++i;
      continue;
    } else if ((b0 & 0xE0) == 0xC0) {
      c = b0 & 0x1F;
      need = 1;
      min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
      c = b0 & 0x0F;
      need = 2;
      min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
      c = b0 & 0x07;
      need = 3;
      min = 0x10000;
    } else {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    size_t j = 1;
    for (; j <= need; ++j) {
      if (i + j >= text.size()) break;
      const uint8_t b = static_cast<uint8_t>(text[i + j]);
      if ((b & 0xC0) != 0x80) break;
      c = (c << 6) | (b & 0x3F);
    }
    if (j <= need || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out.push_back(0xFFFD);
      i += j;  // skip the lead byte and the continuation bytes that belonged to it
      continue;
    }
    i += need + 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

}  // namespace velnorex
