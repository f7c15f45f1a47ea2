// The type table's look-ups and the Type field's words.
#include "modbus/register_types.h"

#include <charconv>
#include <cmath>

namespace velnorex {

namespace {

uint8_t nameCode(std::u16string_view name) {
  for (const RegisterTypeInfo& type : kRegisterTypes) {
    if (type.name.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) {
      char16_t c = name[i];
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');  // ASCII letters only
      same = c == type.name[i];
    }
    if (same) return type.code;
  }
  return kTypeNone;
}

template <typename Enum, size_t N>
bool enumOf(std::u16string_view text, const std::u16string_view (&names)[N], Enum& value) {
  for (size_t i = 0; i < N; ++i) {
    if (names[i] == text) {
      value = static_cast<Enum>(i);
      return true;
    }
  }
  return false;
}

bool numberOf(std::u16string_view text, double& value) {
  char ascii[32];
  if (text.empty() || text.size() >= sizeof ascii) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] > 0x7F) return false;
    ascii[i] = static_cast<char>(text[i]);
  }
  const auto [end, error] = std::from_chars(ascii, ascii + text.size(), value);
  return error == std::errc() && end == ascii + text.size() && std::isfinite(value);
}

// The words after the name, in their fixed order; false at the first that does not belong.
bool readWords(std::u16string_view rest, RegisterFormat& format) {
  static constexpr std::u16string_view kKeys[] = {u"table=",  u"order=",    u"scale=",
                                                  u"offset=", u"decimals=", u"unit="};
  size_t nextKey = 0;
  while (!rest.empty()) {
    size_t key = nextKey;
    while (key < std::size(kKeys) && !rest.starts_with(kKeys[key])) ++key;
    if (key == std::size(kKeys)) return false;
    rest.remove_prefix(kKeys[key].size());
    nextKey = key + 1;
    if (key == 5) {  // the unit runs to the end: it may hold blanks
      if (rest.empty() || rest.size() > ValueMeaning::kMaxUnit) return false;
      format.meaning.unitLength = static_cast<uint8_t>(rest.size());
      rest.copy(format.meaning.unit, rest.size());
      return true;
    }
    const size_t blank = rest.find(u' ');
    const std::u16string_view word = rest.substr(0, blank);
    rest = blank == std::u16string_view::npos ? std::u16string_view() : rest.substr(blank + 1);
    if (blank != std::u16string_view::npos && rest.empty()) return false;  // a blank at the end
    double number = 0;
    switch (key) {
      case 0:
        if (!enumOf(word, kTableNames, format.table)) return false;
        break;
      case 1:
        if (!enumOf(word, kWordOrderNames, format.order)) return false;
        format.orderGiven = true;
        break;
      case 2:
        if (!numberOf(word, number) || number == 0) return false;  // a scale of 0 could never be written
        format.meaning.scale = number;
        break;
      case 3:
        if (!numberOf(word, number)) return false;
        format.meaning.offset = number;
        break;
      case 4:
        if (!numberOf(word, number) || number < 0 || number > 10 || number != std::floor(number))
          return false;
        format.meaning.decimals = static_cast<int8_t>(number);
        break;
      default:
        return false;
    }
  }
  return true;
}

bool consistent(const RegisterFormat& format) {
  const RegisterTypeInfo* info = RegisterTypeOf(format.type);
  if (!info) return false;
  // A bit lives only in the bit tables, and they hold nothing else.
  if ((format.type == kTypeBool) != TableHoldsBits(format.table)) return false;
  if (format.orderGiven && !TakesWordOrder(format.type)) return false;
  const bool hasMeaning =
      format.meaning.scaled() || format.meaning.decimals >= 0 || format.meaning.unitLength;
  return !hasMeaning || (IsNumericType(format.type) && format.type != kTypeBool);
}

}  // namespace

RegisterFormat RegisterFormatOf(std::u16string_view typeField) {
  RegisterFormat format;
  const size_t blank = typeField.find(u' ');
  format.type = nameCode(typeField.substr(0, blank));
  format.order = DefaultWordOrder(format.type);
  if (format.type == kTypeNone || blank == std::u16string_view::npos) {
    if (format.type == kTypeBool) format.type = kTypeNone;  // a bit names its table
    return format;
  }
  const std::u16string_view rest = typeField.substr(blank + 1);
  if (rest.empty() || !readWords(rest, format) || !consistent(format)) return RegisterFormat{};
  return format;
}

std::string NumberFieldText(double value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::u16string TypeFieldOf(const RegisterFormat& format) {
  const RegisterTypeInfo* info = RegisterTypeOf(format.type);
  if (!info) return {};
  std::u16string field(info->name);
  const auto number = [&field](std::u16string_view key, double value) {
    field += key;
    for (char c : NumberFieldText(value)) field += static_cast<char16_t>(c);
  };
  if (format.table != RegisterTable::Holding)
    field += std::u16string(u" table=") + std::u16string(kTableNames[static_cast<int>(format.table)]);
  if (format.orderGiven)
    field += std::u16string(u" order=") + std::u16string(kWordOrderNames[static_cast<int>(format.order)]);
  if (format.meaning.scale != 1) number(u" scale=", format.meaning.scale);
  if (format.meaning.offset != 0) number(u" offset=", format.meaning.offset);
  if (format.meaning.decimals >= 0) number(u" decimals=", format.meaning.decimals);
  if (format.meaning.unitLength) field += u" unit=" + std::u16string(format.meaning.unitText());
  return field;
}

uint8_t TypeCodeOfName(std::u16string_view name) {
  return nameCode(name);
}

uint8_t TypeCodeOf(std::u16string_view typeField) {
  return RegisterFormatOf(typeField).type;
}

const RegisterTypeInfo* RegisterTypeOf(uint8_t code) {
  for (const RegisterTypeInfo& type : kRegisterTypes)
    if (type.code == code) return &type;
  return nullptr;
}

bool IsNumericType(uint8_t code) {
  // HEX is an integer on the line, but the operator reads it as "$1A2": it is recorded as that text.
  const RegisterTypeInfo* type = RegisterTypeOf(code);
  return type && code != kTypeHex && (type->kind == ValueKind::Integer || type->kind == ValueKind::Real);
}

bool TakesWordOrder(uint8_t code) {
  const RegisterTypeInfo* type = RegisterTypeOf(code);
  return type && type->words > 1 && type->kind != ValueKind::Text;
}

}  // namespace velnorex
