// Number texts as the operator and the definition files write them: integers in decimal or "$"-hexadecimal
// with an optional sign, reals with the program-wide decimal separator ','.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velnorex {

// The decimal separator of every conversion between reals and text in the program.
inline constexpr char16_t kDecimalSeparator = u',';

// Optional sign, then decimal digits or "$" and hexadecimal digits; signed 32-bit (hexadecimal up to $FFFFFFFF,
// which wraps as the toolkit's conversion does). Throws ConvertError "'<text>' is not a valid integer value".
int32_t StrToInt(std::u16string_view text);
bool TryStrToInt(std::u16string_view text, int32_t& value);

// A real with ',' as the decimal separator ("1,5"; "1.5" is refused). Throws ConvertError
// "'<text>' is not a valid floating point value".
double StrToFloat(std::u16string_view text);
bool TryStrToFloat(std::u16string_view text, double& value);

// The patterns "0.00" (decimals 2) and "0.0000000000" (decimals 10): at least one integer digit, exactly
// `decimals` digits after rounding half away from zero, ',' as separator, no thousands separators.
std::u16string FormatFloat(double value, int decimals);

std::u16string IntToStr(int64_t value);
// Upper-case hexadecimal with at least `minDigits` digits, no prefix.
std::u16string IntToHex(uint32_t value, int minDigits);

// UTF-8 <-> UTF-16 for messages and file names; unpaired surrogates and broken sequences become U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

}  // namespace velnorex
