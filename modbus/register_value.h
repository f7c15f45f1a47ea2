// The one codec between a register's words and its value: words as the line carries them become an integer,
// a floating-point number or text by the register's type, and a value typed by the operator becomes words.
// Display texts are made from the value here too, by the rules the tree shows them with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "modbus/register_types.h"

namespace velnorex {

struct RegisterValue {
  // A read asks for at most 125 registers.
  static constexpr int kMaxWords = 125;

  uint8_t type = kTypeNone;
  ValueKind kind = ValueKind::None;  // None: no value (an unknown type, or too few words for it)
  int64_t integer = 0;               // WORD, INT and HEX
  double real = 0;                   // REAL and PREC: the single, widened exactly
  uint8_t wordCount = 0;
  // The words in line order: first register first, each as a number (the line sends its high byte first).
  uint16_t words[kMaxWords] = {};

  bool ok() const { return kind != ValueKind::None; }
  bool isNumber() const { return kind == ValueKind::Integer || kind == ValueKind::Real; }
  double number() const { return kind == ValueKind::Real ? real : static_cast<double>(integer); }
};

// Fills `value` from `count` words in line order by `type`; reads no more than `count` words.
void DecodeWords(uint8_t type, const uint16_t* words, int count, RegisterValue& value);
// The same from register bytes as they stand in a reply (each register high byte first); an odd last byte
// is no register of a number, but a text keeps it.
void DecodeRegisterData(uint8_t type, const uint8_t* bytes, int byteCount, RegisterValue& value);

// The text the register tree shows: WORD unsigned and INT signed decimal, REAL with 2 and PREC with 10
// decimals and ',', HEX "$" and at least two upper-case hex digits, TEXT the bytes up to the first 0 in code
// page 1250. Empty when there is no value.
std::u16string DisplayText(const RegisterValue& value);
// The value at full precision for files and scripts: an integer in decimal, a REAL or PREC as the shortest
// decimal that reads back as the same single ('.' as the separator, "nan" and "inf" as such); HEX and TEXT as
// the tree shows them. Empty when there is no value.
std::string FullPrecisionText(const RegisterValue& value);

// Encodes the operator's text of a value into `count` words in line order for a write of several registers
// (at most `count` words, zeros after the value): an integer type as a 32-bit integer, low word first; REAL
// and PREC as the single nearest to the number, low word first; TEXT one byte per character (its low 8 bits),
// two to a word, first character in the high byte, then a closing 0 where there is room; any other type
// writes zeros. Throws ConvertError as the number texts do, and for a real beyond the range of a single.
void EncodeText(uint8_t type, std::u16string_view text, uint16_t* words, int count);

}  // namespace velnorex
