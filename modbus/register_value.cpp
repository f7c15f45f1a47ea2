// Words to values and back, and the texts of a value.
#include "modbus/register_value.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "text/cp1250.h"
#include "text/errors.h"
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

void DecodeWords(uint8_t type, const uint16_t* words, int count, RegisterValue& value) {
  if (count < 0) count = 0;
  if (count > RegisterValue::kMaxWords) count = RegisterValue::kMaxWords;
  value.type = type;
  value.kind = ValueKind::None;
  value.integer = 0;
  value.real = 0;
  value.wordCount = static_cast<uint8_t>(count);
  std::memcpy(value.words, words, sizeof(uint16_t) * static_cast<size_t>(count));
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
      // The first register holds the low 16 bits of the single.
      value.real = static_cast<double>(singleOf(words[0], words[1]));
      break;
    default:
      break;
  }
  value.kind = info->kind;
}

void DecodeRegisterData(uint8_t type, const uint8_t* bytes, int byteCount, RegisterValue& value) {
  uint16_t words[RegisterValue::kMaxWords];
  // A text takes every byte the reply carries, an odd last one too; a number only whole registers.
  int count = type == kTypeText ? (byteCount + 1) / 2 : byteCount / 2;
  if (count > RegisterValue::kMaxWords) count = RegisterValue::kMaxWords;
  for (int i = 0; i < count; ++i) {
    const int low = 2 * i + 1;
    words[i] = static_cast<uint16_t>(bytes[2 * i] << 8 | (low < byteCount ? bytes[low] : 0));
  }
  DecodeWords(type, words, count, value);
}

std::u16string DisplayText(const RegisterValue& value) {
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

}  // namespace velnorex
