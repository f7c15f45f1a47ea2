// Words to values and back, and the texts of a value.
#include "modbus/register_value.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "text/cp1250.h"
#include "text/errors.h"
#include "text/json_text.h"
#include "text/number_text.h"

namespace velnorex {

namespace {

static_assert(std::numeric_limits<float>::is_iec559, "register reals are IEC 60559 singles");

float singleOf(uint16_t low, uint16_t high) {
  const uint32_t bits = static_cast<uint32_t>(low) | static_cast<uint32_t>(high) << 16;
  float single;
  std::memcpy(&single, &bits, sizeof single);
  return single;
}

// A value beyond the range of a single cannot be sent as one; sending infinity instead would write
// something the operator never typed.
float toSingle(double value, std::u16string_view text) {
  const float single = static_cast<float>(value);
  if (std::isinf(single) && !std::isinf(value))
    throw ConvertError("'" + ToUtf8(text) + "' is not a valid floating point value");
  return single;
}

void putLowWordFirst(uint32_t value, uint16_t* words, int count) {
  if (count > 0) words[0] = static_cast<uint16_t>(value & 0xFFFF);
  if (count > 1) words[1] = static_cast<uint16_t>(value >> 16);
}

}  // namespace

void ReorderWords(WordOrder order, const uint16_t* from, uint16_t* to, int words) {
  const bool reversed = order == WordOrder::CDAB || order == WordOrder::DCBA;
  const bool swapped = order == WordOrder::BADC || order == WordOrder::DCBA;
  uint16_t copy[4];
  const int n = words < 4 ? words : 4;
  for (int i = 0; i < n; ++i) copy[i] = from[i];
  for (int i = 0; i < n; ++i) {
    const uint16_t word = copy[reversed ? n - 1 - i : i];
    to[i] = swapped ? static_cast<uint16_t>(word << 8 | word >> 8) : word;
  }
}

double RegisterValue::raw() const {
  if (kind == ValueKind::Real) return real;
  if (type == kTypeU64) return static_cast<double>(static_cast<uint64_t>(integer));
  return static_cast<double>(integer);
}

void DecodeWords(uint8_t type, const uint16_t* words, int count, RegisterValue& value) {
  RegisterFormat format;
  format.type = type;
  format.order = DefaultWordOrder(type);
  DecodeWords(format, words, count, value);
}

void DecodeWords(const RegisterFormat& format, const uint16_t* words, int count, RegisterValue& value) {
  const uint8_t type = format.type;
  if (count < 0) count = 0;
  if (count > RegisterValue::kMaxWords) count = RegisterValue::kMaxWords;
  value.type = type;
  value.kind = ValueKind::None;
  value.integer = 0;
  value.real = 0;
  value.order = format.order;
  value.meaning = format.meaning;
  value.wordCount = static_cast<uint8_t>(count);
  if (count > 0) std::memcpy(value.words, words, sizeof(uint16_t) * static_cast<size_t>(count));
  const RegisterTypeInfo* info = RegisterTypeOf(type);
  if (!info || (info->kind != ValueKind::Text && count < info->words)) return;
  switch (type) {
    case kTypeWord:
    case kTypeHex:
      value.integer = words[0];
      break;
    case kTypeInt:
      value.integer = static_cast<int16_t>(words[0]);
      break;
    case kTypeReal:
    case kTypePrec:
      if (format.order == WordOrder::CDAB) {
        // The first register holds the low 16 bits of the single.
        value.real = static_cast<double>(singleOf(words[0], words[1]));
        break;
      }
      [[fallthrough]];
    default:
      if (type != kTypeText) {
        uint16_t canonical[4];
        ReorderWords(format.order, words, canonical, info->words);
        uint64_t bits = 0;
        for (int i = 0; i < info->words; ++i) bits = bits << 16 | canonical[i];
        switch (type) {
          case kTypeU16:
          case kTypeU32:
          case kTypeU64:
            value.integer = static_cast<int64_t>(bits);
            break;
          case kTypeI16:
            value.integer = static_cast<int16_t>(bits);
            break;
          case kTypeI32:
            value.integer = static_cast<int32_t>(bits);
            break;
          case kTypeI64:
            value.integer = static_cast<int64_t>(bits);
            break;
          case kTypeBool:
            value.integer = bits != 0;
            break;
          case kTypeF64: {
            double real;
            std::memcpy(&real, &bits, sizeof real);
            value.real = real;
            break;
          }
          default: {  // the singles: F32, and REAL or PREC in another order
            const auto bits32 = static_cast<uint32_t>(bits);
            float single;
            std::memcpy(&single, &bits32, sizeof single);
            value.real = static_cast<double>(single);
            break;
          }
        }
      }
      break;
  }
  value.kind = info->kind;
}

void DecodeRegisterData(uint8_t type, const uint8_t* bytes, int byteCount, RegisterValue& value) {
  RegisterFormat format;
  format.type = type;
  format.order = DefaultWordOrder(type);
  DecodeRegisterData(format, bytes, byteCount, value);
}

void DecodeRegisterData(const RegisterFormat& format, const uint8_t* bytes, int byteCount,
                        RegisterValue& value) {
  uint16_t words[RegisterValue::kMaxWords];
  // A text takes every byte the reply carries, an odd last one too; a number only whole registers.
  int count = format.type == kTypeText ? (byteCount + 1) / 2 : byteCount / 2;
  if (count > RegisterValue::kMaxWords) count = RegisterValue::kMaxWords;
  for (int i = 0; i < count; ++i) {
    const int low = 2 * i + 1;
    words[i] = static_cast<uint16_t>(bytes[2 * i] << 8 | (low < byteCount ? bytes[low] : 0));
  }
  DecodeWords(format, words, count, value);
}

void DecodeBitData(const RegisterFormat& format, const uint8_t* bytes, int byteCount, int bitCount,
                   RegisterValue& value) {
  uint16_t words[RegisterValue::kMaxWords];
  int count = bitCount < 8 * byteCount ? bitCount : 8 * byteCount;
  if (count > RegisterValue::kMaxWords) count = RegisterValue::kMaxWords;
  if (count < 0) count = 0;
  for (int i = 0; i < count; ++i) words[i] = static_cast<uint16_t>(bytes[i / 8] >> (i % 8) & 1);
  DecodeWords(format, words, count, value);
}

namespace {

// As many decimals as a scale and an offset written in a definition carry (0.1 one, 0.25 two), at most 10.
int decimalsOfMeaning(const ValueMeaning& meaning) {
  for (int decimals = 0; decimals < 10; ++decimals) {
    const double power = std::pow(10.0, decimals);
    const auto whole = [power](double x) {
      const double scaled = x * power;
      return std::fabs(scaled - std::round(scaled)) < 1e-9 * (std::fabs(scaled) > 1 ? std::fabs(scaled) : 1);
    };
    if (whole(meaning.scale) && whole(meaning.offset)) return decimals;
  }
  return 10;
}

std::u16string shortestText(const RegisterValue& value, double number) {
  char text[48];
  const bool single = value.kind == ValueKind::Real && value.type != kTypeF64 && !value.meaning.scaled();
  const char* end = single ? std::to_chars(text, text + sizeof text, static_cast<float>(number)).ptr
                           : std::to_chars(text, text + sizeof text, number).ptr;
  std::u16string shown;
  for (const char* c = text; c != end; ++c)
    shown += *c == '.' ? kDecimalSeparator : static_cast<char16_t>(*c);
  return shown;
}

}  // namespace

std::u16string DisplayText(const RegisterValue& value) {
  const ValueMeaning& meaning = value.meaning;
  const bool plain =
      value.type < kTypeU16 && !meaning.scaled() && meaning.decimals < 0 && !meaning.unitLength;
  if (value.isNumber() && !plain) {
    std::u16string text;
    if (meaning.decimals >= 0)
      text = FormatFloat(value.number(), meaning.decimals);
    else if (meaning.scaled())
      text = FormatFloat(value.number(), decimalsOfMeaning(meaning));
    else if (value.type == kTypeReal || value.type == kTypePrec)
      text = FormatFloat(value.real, value.type == kTypeReal ? 2 : 10);
    else if (value.kind == ValueKind::Real)
      text = shortestText(value, value.real);
    else if (value.type == kTypeU64)
      text = FromUtf8(std::to_string(static_cast<uint64_t>(value.integer)));
    else
      text = IntToStr(value.integer);
    if (meaning.unitLength) text += u" " + std::u16string(meaning.unitText());
    return text;
  }
  switch (value.kind) {
    case ValueKind::Integer:
      if (value.type == kTypeHex) return u"$" + IntToHex(static_cast<uint32_t>(value.integer), 2);
      return IntToStr(value.integer);
    case ValueKind::Real:
      return FormatFloat(value.real, value.type == kTypeReal ? 2 : 10);
    case ValueKind::Text: {
      // One character per byte, high byte of each register first, up to the first 0.
      char bytes[2 * RegisterValue::kMaxWords];
      size_t length = 0;
      for (int i = 0; i < 2 * value.wordCount; ++i) {
        const auto byte = static_cast<char>(i % 2 == 0 ? value.words[i / 2] >> 8 : value.words[i / 2] & 0xFF);
        if (byte == 0) break;
        bytes[length++] = byte;
      }
      return FromCp1250(std::string_view(bytes, length));
    }
    case ValueKind::None:
      break;
  }
  return {};
}

std::string FullPrecisionText(const RegisterValue& value) {
  if (value.isNumber() && (value.meaning.scaled() || value.type == kTypeU64 || value.type == kTypeF64)) {
    if (value.type == kTypeU64 && !value.meaning.scaled())
      return std::to_string(static_cast<uint64_t>(value.integer));
    char shortest[32];
    if (!value.meaning.scaled())  // an F64 as read
      return std::string(shortest, std::to_chars(shortest, shortest + sizeof shortest, value.real).ptr);
    // raw × scale + offset carries the rounding of binary arithmetic in its last digits (12001 × 0.00625 − 25
    // is 50.00625000000001): the 15 significant digits a double holds faithfully are the value.
    const char* end =
        std::to_chars(shortest, shortest + sizeof shortest, value.number(), std::chars_format::general, 15)
            .ptr;
    return std::string(shortest, static_cast<size_t>(end - shortest));
  }
  char text[48];
  switch (value.kind) {
    case ValueKind::Integer:
      if (value.type == kTypeHex) break;
      return std::string(text, std::to_chars(text, text + sizeof text, value.integer).ptr);
    case ValueKind::Real: {
      // The shortest text that reads back as the single the transducer holds.
      const auto single = static_cast<float>(value.real);
      return std::string(text, std::to_chars(text, text + sizeof text, single).ptr);
    }
    case ValueKind::Text:
      break;
    case ValueKind::None:
      return {};
  }
  return ToUtf8(DisplayText(value));
}

void EncodeText(uint8_t type, std::u16string_view text, uint16_t* words, int count) {
  if (count <= 0) return;
  uint16_t encoded[RegisterValue::kMaxWords] = {};
  const int room = count < RegisterValue::kMaxWords ? count : RegisterValue::kMaxWords;
  switch (type) {
    case kTypeWord:
    case kTypeInt:
    case kTypeHex:
      putLowWordFirst(static_cast<uint32_t>(StrToInt(text)), encoded, room);
      break;
    case kTypeReal:
    case kTypePrec: {
      const float single = toSingle(StrToFloat(text), text);
      uint32_t bits;
      std::memcpy(&bits, &single, sizeof bits);
      putLowWordFirst(bits, encoded, room);
      break;
    }
    case kTypeText: {
      const size_t length = text.size() < static_cast<size_t>(2 * room) ? text.size() : 2 * room;
      for (size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<uint16_t>(text[i] & 0xFF);
        encoded[i / 2] |= i % 2 == 0 ? static_cast<uint16_t>(byte << 8) : byte;
      }
      break;
    }
    default:
      break;
  }
  std::memcpy(words, encoded, sizeof(uint16_t) * static_cast<size_t>(room));
}

bool IsLegacyFormat(const RegisterFormat& format) {
  return format.type < kTypeU16 && !format.orderGiven && !format.meaning.scaled() &&
         format.meaning.decimals < 0 && !format.meaning.unitLength;
}

namespace {

[[noreturn]] void refuseInteger(std::u16string_view text) {
  throw ConvertError("'" + ToUtf8(text) + "' is not a valid integer value");
}

// An integer in decimal or "$"-hexadecimal with an optional sign, as wide as 64 bits (unsigned up to
// 2^64 - 1); false when it is none or does not fit.
bool integerOf(std::u16string_view text, bool& negative, uint64_t& magnitude) {
  size_t i = 0;
  negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  const bool hex = i < text.size() && text[i] == u'$';
  if (hex) ++i;
  if (i == text.size()) return false;
  magnitude = 0;
  const uint64_t base = hex ? 16 : 10;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i];
    uint64_t digit;
    if (c >= u'0' && c <= u'9')
      digit = c - u'0';
    else if (hex && c >= u'a' && c <= u'f')
      digit = c - u'a' + 10;
    else if (hex && c >= u'A' && c <= u'F')
      digit = c - u'A' + 10;
    else
      return false;
    if (magnitude > (std::numeric_limits<uint64_t>::max() - digit) / base) return false;
    magnitude = magnitude * base + digit;
  }
  return true;
}

// The raw integer's range of a type, as the doubles that bound it.
void integerRange(uint8_t type, double& low, double& high) {
  const RegisterTypeInfo* info = RegisterTypeOf(type);
  const int bits = type == kTypeBool ? 1 : 16 * info->words;
  if (info->isSigned) {
    low = -std::ldexp(1.0, bits - 1);
    high = std::ldexp(1.0, bits - 1) - 1;
  } else {
    low = 0;
    high = std::ldexp(1.0, bits) - 1;
  }
}

// The operator may type the unit the tree shows after the number, or leave it out.
std::u16string_view withoutUnit(std::u16string_view text, const ValueMeaning& meaning) {
  const std::u16string_view unit = meaning.unitText();
  if (!unit.empty() && text.size() > unit.size() && text.ends_with(unit)) {
    text.remove_suffix(unit.size());
    while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  }
  return text;
}

}  // namespace

void EncodeText(const RegisterFormat& format, std::u16string_view text, uint16_t* words, int count) {
  if (IsLegacyFormat(format)) {
    EncodeText(format.type, text, words, count);
    return;
  }
  if (count <= 0) return;
  const RegisterTypeInfo* info = RegisterTypeOf(format.type);
  uint16_t canonical[4] = {};
  if (info && info->kind != ValueKind::Text && info->words <= 4) {
    const std::u16string_view number = withoutUnit(text, format.meaning);
    const ValueMeaning& meaning = format.meaning;
    uint64_t bits = 0;
    if (info->kind == ValueKind::Real) {
      const double raw = (StrToFloat(number) - meaning.offset) / meaning.scale;
      if (info->words == 2) {
        const float single = toSingle(raw, text);
        uint32_t bits32;
        std::memcpy(&bits32, &single, sizeof bits32);
        bits = bits32;
      } else {
        if (!std::isfinite(raw))
          throw ConvertError("'" + ToUtf8(text) + "' is not a valid floating point value");
        std::memcpy(&bits, &raw, sizeof bits);
      }
    } else {
      double low, high;
      integerRange(format.type, low, high);
      bool negative = false;
      uint64_t magnitude = 0;
      if (!meaning.scaled() && integerOf(number, negative, magnitude)) {
        // Exactly as typed: a 64-bit integer is more than a double holds.
        const int width = format.type == kTypeBool ? 1 : 16 * info->words;
        const uint64_t top = width == 64 ? ~uint64_t{0} : (uint64_t{1} << width) - 1;
        const uint64_t half = uint64_t{1} << (width - 1);
        const bool fits = info->isSigned ? (negative ? magnitude <= half : magnitude < half)
                                         : (!negative || magnitude == 0) && magnitude <= top;
        if (!fits) refuseInteger(text);
        bits = negative ? ~magnitude + 1 : magnitude;
      } else {
        if (!meaning.scaled()) refuseInteger(text);
        double real = 0;
        if (!TryStrToFloat(number, real)) refuseInteger(text);
        const double raw = std::round((real - meaning.offset) / meaning.scale);
        if (!(raw >= low && raw <= high)) refuseInteger(text);
        bits = raw < 0 ? static_cast<uint64_t>(static_cast<int64_t>(raw)) : static_cast<uint64_t>(raw);
      }
    }
    const int width = info->words;
    for (int i = width - 1; i >= 0; --i, bits >>= 16) canonical[i] = static_cast<uint16_t>(bits & 0xFFFF);
    ReorderWords(format.order, canonical, canonical, width);
  }
  const int room = count < 4 ? count : 4;
  for (int i = 0; i < count; ++i) words[i] = i < room ? canonical[i] : 0;
}

std::string JsonValueText(const RegisterValue& value) {
  if (!value.ok()) return "null";
  if (value.type == kTypeBool) return value.integer ? "true" : "false";
  if (value.isNumber() && value.type != kTypeHex) {
    if (!std::isfinite(value.number())) return "null";
    return FullPrecisionText(value);
  }
  // HEX and TEXT are texts.
  std::string json;
  AppendJsonString(json, DisplayText(value));
  return json;
}

std::string JsonWordsText(const RegisterValue& value) {
  std::string json = "[";
  for (int i = 0; i < value.wordCount; ++i) json += (i ? ", " : "") + std::to_string(value.words[i]);
  return json + "]";
}

OrderReadings ReadInEveryOrder(const RegisterValue& value) {
  OrderReadings readings;
  if (TakesWordOrder(value.type)) {
    RegisterFormat format;
    format.type = value.type;
    format.meaning = value.meaning;
    format.orderGiven = true;
    for (int order = 0; order < 4; ++order) {
      format.order = static_cast<WordOrder>(order);
      RegisterValue read;
      DecodeWords(format, value.words, value.wordCount, read);
      readings.byOrder[order] = DisplayText(read);
    }
  }
  RegisterValue real;
  DecodeWords(kTypeReal, value.words, value.wordCount, real);
  readings.asReal = DisplayText(real);
  return readings;
}

}  // namespace velnorex
