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
  ValueKind kind = ValueKind::None;   // None: no value (an unknown type, or too few words for it)
  int64_t integer = 0;                // the integer types and BOOL (0 or 1); a U64 keeps its bits here
  double real = 0;                    // REAL, PREC and F32: the single, widened exactly; F64
  WordOrder order = WordOrder::ABCD;  // how the words were read
  ValueMeaning meaning;               // scale, offset, decimals and unit of the shown number
  uint8_t wordCount = 0;
  // The words in line order: first register first, each as a number (the line sends its high byte first).
  // A bit read from a coil or discrete input is one word of 0 or 1.
  uint16_t words[kMaxWords] = {};

  bool ok() const { return kind != ValueKind::None; }
  bool isNumber() const { return kind == ValueKind::Integer || kind == ValueKind::Real; }
  // The number the register holds, before scale and offset.
  double raw() const;
  // What the number means: raw × scale + offset, never rounded.
  double number() const { return raw() * meaning.scale + meaning.offset; }
};

// Fills `value` from `count` words in line order by `type`; reads no more than `count` words.
void DecodeWords(uint8_t type, const uint16_t* words, int count, RegisterValue& value);
// The same by a register's whole format: its words taken in its order, its meaning kept for the texts.
void DecodeWords(const RegisterFormat& format, const uint16_t* words, int count, RegisterValue& value);
// The same from register bytes as they stand in a reply (each register high byte first); an odd last byte
// is no register of a number, but a text keeps it.
void DecodeRegisterData(uint8_t type, const uint8_t* bytes, int byteCount, RegisterValue& value);
void DecodeRegisterData(const RegisterFormat& format, const uint8_t* bytes, int byteCount,
                        RegisterValue& value);
// A reply of coils or discrete inputs: bit i of the data is byte i / 8, bit i % 8 (first bit the lowest).
// Each bit becomes one word of 0 or 1; `bitCount` bits at most, within `byteCount` bytes.
void DecodeBitData(const RegisterFormat& format, const uint8_t* bytes, int byteCount, int bitCount,
                   RegisterValue& value);

// The words of a value of `words` registers in line order, brought to the highest word first, each word
// high byte first (ABCD); the same call takes them back, since every order is its own inverse.
void ReorderWords(WordOrder order, const uint16_t* from, uint16_t* to, int words);

// The text the register tree shows: WORD unsigned and INT signed decimal, REAL with 2 and PREC with 10
// decimals and ',', HEX "$" and at least two upper-case hex digits, TEXT the bytes up to the first 0 in code
// page 1250. Empty when there is no value.
// With a meaning: raw × scale + offset, with `decimals` digits (else as many as scale and offset carry) and
// the unit after a blank ("-12,5 °C"). U16 to I64 in decimal, F32 and F64 as the shortest text that reads
// back as the same number, BOOL 0 or 1.
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
// The same by a register's whole format. The six types of old without a meaning or an order encode as
// above. Every other number is the operator's text of what the tree shows (the unit after it may stay):
// (number - offset) / scale, rounded to the nearest integer for an integer type, put into the type's width
// in the format's order. A number that does not fit the raw type throws the conversion error of its kind.
// BOOL takes 0 or 1.
void EncodeText(const RegisterFormat& format, std::u16string_view text, uint16_t* words, int count);
// The raw words for scripts, in address order: "[16812, 0]".
std::string JsonWordsText(const RegisterValue& value);

// The same words read in every order, for a technician who does not know the transducer's: the value's own
// type and meaning in ABCD, CDAB, BADC and DCBA, then as the REAL of old (first two words, low word first).
// Empty texts where the words are too few or the type takes no order.
struct OrderReadings {
  std::u16string byOrder[4];
  std::u16string asReal;
};
OrderReadings ReadInEveryOrder(const RegisterValue& value);

// The format reads and writes exactly as the type of old does.
bool IsLegacyFormat(const RegisterFormat& format);
// The value for scripts: a JSON number at full precision (after scale and offset), `true`/`false` for a BOOL,
// a JSON string for HEX and TEXT, null when there is no value or the number is not finite.
std::string JsonValueText(const RegisterValue& value);

}  // namespace velnorex
