// The register types a definition may name, in one table: the code each name stands for, how many registers
// its value takes at least, and whether it is a number.
#pragma once

#include <cstdint>
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
};

// How a value of a type reads: as an integer, a floating-point number or text.
enum class ValueKind : uint8_t { None, Integer, Real, Text };

struct RegisterTypeInfo {
  uint8_t code;
  std::u16string_view name;  // upper case, as definitions usually write it
  ValueKind kind;
  uint8_t words;  // registers the value needs at least; a text takes what its Count gives it
};

// Every type, in the order the names are listed to an integrator.
inline constexpr RegisterTypeInfo kRegisterTypes[] = {
    {kTypeWord, u"WORD", ValueKind::Integer, 1}, {kTypeInt, u"INT", ValueKind::Integer, 1},
    {kTypeReal, u"REAL", ValueKind::Real, 2},    {kTypeText, u"TEXT", ValueKind::Text, 1},
    {kTypeHex, u"HEX", ValueKind::Integer, 1},   {kTypePrec, u"PREC", ValueKind::Real, 2},
};

// ASCII upper-casing, then an exact compare with the names above; anything else (blanks included) is 0.
uint8_t TypeCodeOf(std::u16string_view typeName);
// The table's entry for a code; nullptr for kTypeNone and unknown codes.
const RegisterTypeInfo* RegisterTypeOf(uint8_t code);
// A value of this type is a number (a CSV cell, a curve of the trend); HEX is shown as text.
bool IsNumericType(uint8_t code);
inline bool IsNumericType(std::u16string_view typeName) {
  return IsNumericType(TypeCodeOf(typeName));
}
inline bool IsRegisterType(std::u16string_view typeName) {
  return TypeCodeOf(typeName) != kTypeNone;
}

}  // namespace velnorex
