// The register types a definition may name, in one table: the code each name stands for, how many registers
// its value takes at least, and whether it is a number. Also the rest of what a register's Type field may
// say about its value: the table it lives in, the order of its words and what its number means.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velnorex {

enum TypeCode : uint8_t {
  kTypeNone = 0,
  kTypeWord = 4,
  kTypeInt = 5,
  kTypeReal = 6,
  kTypeText = 7,
  kTypeHex = 10,
  kTypePrec = 11,
  // Fixed-width numbers of any transducer: their count is their width.
  kTypeU16 = 20,
  kTypeI16 = 21,
  kTypeU32 = 22,
  kTypeI32 = 23,
  kTypeF32 = 24,
  kTypeU64 = 25,
  kTypeI64 = 26,
  kTypeF64 = 27,
  kTypeBool = 28,  // one coil or one discrete input
};

// How a value of a type reads: as an integer, a floating-point number or text.
enum class ValueKind : uint8_t { None, Integer, Real, Text };

struct RegisterTypeInfo {
  uint8_t code;
  std::u16string_view name;  // upper case, as definitions usually write it
  ValueKind kind;
  uint8_t words;            // registers the value needs at least; a text takes what its Count gives it
  bool fixedWidth = false;  // the count must be `words` (a BOOL: one bit)
  bool isSigned = false;
};

// Every type, in the order the names are listed to an integrator.
inline constexpr RegisterTypeInfo kRegisterTypes[] = {
    {kTypeWord, u"WORD", ValueKind::Integer, 1},
    {kTypeInt, u"INT", ValueKind::Integer, 1, false, true},
    {kTypeReal, u"REAL", ValueKind::Real, 2},
    {kTypeText, u"TEXT", ValueKind::Text, 1},
    {kTypeHex, u"HEX", ValueKind::Integer, 1},
    {kTypePrec, u"PREC", ValueKind::Real, 2},
    {kTypeU16, u"U16", ValueKind::Integer, 1, true},
    {kTypeI16, u"I16", ValueKind::Integer, 1, true, true},
    {kTypeU32, u"U32", ValueKind::Integer, 2, true},
    {kTypeI32, u"I32", ValueKind::Integer, 2, true, true},
    {kTypeF32, u"F32", ValueKind::Real, 2, true, true},
    {kTypeU64, u"U64", ValueKind::Integer, 4, true},
    {kTypeI64, u"I64", ValueKind::Integer, 4, true, true},
    {kTypeF64, u"F64", ValueKind::Real, 4, true, true},
    {kTypeBool, u"BOOL", ValueKind::Integer, 1, true},
};

// The tables of a Modbus slave that a register may live in.
enum class RegisterTable : uint8_t { Holding, Input, Coil, Discrete };
inline constexpr std::u16string_view kTableNames[] = {u"holding", u"input", u"coil", u"discrete"};
// Input registers and discrete inputs cannot be written.
constexpr bool TableIsWritable(RegisterTable table) {
  return table == RegisterTable::Holding || table == RegisterTable::Coil;
}
// Coils and discrete inputs hold bits, the other two 16-bit registers.
constexpr bool TableHoldsBits(RegisterTable table) {
  return table == RegisterTable::Coil || table == RegisterTable::Discrete;
}

// Where the words of a value of two or four registers stand on the line, named by the bytes of a 32-bit value
// from the most significant (A) down: ABCD highest word first, big-endian; CDAB words reversed, each word
// big-endian; BADC highest word first, the bytes of each word swapped; DCBA every byte reversed.
enum class WordOrder : uint8_t { ABCD, CDAB, BADC, DCBA };
inline constexpr std::u16string_view kWordOrderNames[] = {u"ABCD", u"CDAB", u"BADC", u"DCBA"};

// What a number means: the tree shows raw × scale + offset, with `decimals` digits (when given) and the unit.
struct ValueMeaning {
  static constexpr int kMaxUnit = 15;
  double scale = 1;
  double offset = 0;
  int8_t decimals = -1;  // -1: as the type shows it, or as many as scale and offset carry
  uint8_t unitLength = 0;
  char16_t unit[kMaxUnit] = {};  // a fixed array: a request travels with every transaction

  bool scaled() const { return scale != 1 || offset != 0; }
  std::u16string_view unitText() const { return {unit, unitLength}; }
};

// Everything a register's Type field says. The field is the type's name, alone as in every definition of old,
// or followed by words "key=value" separated by one blank each, in this order and each at most once:
// table=holding|input|coil|discrete, order=ABCD|CDAB|BADC|DCBA, scale=<number>, offset=<number>,
// decimals=<0..10>, unit=<text to the end of the field>. Numbers are written with '.', as JSON writes them,
// so a definition reads the same whatever the operator's separator. Anything else is no type at all.
struct RegisterFormat {
  uint8_t type = kTypeNone;
  RegisterTable table = RegisterTable::Holding;
  WordOrder order = WordOrder::ABCD;
  bool orderGiven = false;  // the field names the order; else the type's default
  ValueMeaning meaning;
};

// The order a type's words stand in when the field names none: REAL and PREC keep their low word first.
constexpr WordOrder DefaultWordOrder(uint8_t code) {
  return code == kTypeReal || code == kTypePrec ? WordOrder::CDAB : WordOrder::ABCD;
}
RegisterFormat RegisterFormatOf(std::u16string_view typeField);
// The field that RegisterFormatOf reads back as `format`; the bare name when nothing but the type is given.
std::u16string TypeFieldOf(const RegisterFormat& format);
// The shortest text of a number that reads back as the same double, with '.' ("0.1", "-2", "1e-07").
std::string NumberFieldText(double value);

// The type code a Type field names: ASCII upper-casing of the name, then an exact compare with the names
// above; anything else (blanks at either end included) is 0.
uint8_t TypeCodeOf(std::u16string_view typeField);
// The code of a type's name alone (ASCII upper-casing, exact compare); 0 for anything else.
uint8_t TypeCodeOfName(std::u16string_view name);
// The table's entry for a code; nullptr for kTypeNone and unknown codes.
const RegisterTypeInfo* RegisterTypeOf(uint8_t code);
// A value of this type is a number (a CSV cell, a curve of the trend); HEX is shown as text.
bool IsNumericType(uint8_t code);
inline bool IsNumericType(std::u16string_view typeName) {
  return IsNumericType(TypeCodeOf(typeName));
}
// A value of two or four registers whose words may stand in any order.
bool TakesWordOrder(uint8_t code);

}  // namespace velnorex
