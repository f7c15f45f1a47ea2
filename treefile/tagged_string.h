// TaggedString, the coding of one string inside a node's user data: a tag byte, a length and the text.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velnorex {

namespace StringTag {
inline constexpr uint8_t Short8Bit = 0x06;  // UInt8 byte count, host 8-bit code page
inline constexpr uint8_t Long8Bit = 0x0C;   // Int32 byte count, host 8-bit code page
inline constexpr uint8_t Utf16 = 0x12;      // Int32 code-unit count, UTF-16LE
inline constexpr uint8_t Utf8 = 0x14;       // Int32 byte count, UTF-8 formed per code unit
}  // namespace StringTag

// UTF-8 formed per UTF-16 code unit: one, two or three bytes each, so a surrogate pair becomes two
// three-byte sequences.
std::string EncodeUnitUtf8(std::u16string_view text);
// The reverse; a broken or cut-off sequence makes the whole string empty.
std::u16string DecodeUnitUtf8(std::string_view bytes);

// Appends one string in the shortest of the tagged forms (8-bit when the text is ASCII).
void WriteWideString(std::vector<uint8_t>& out, std::u16string_view text);

// Reads strings from a position in the data; the reads are not limited to any chunk, only to the data.
// Throws ReadError "Invalid property value" for an unknown tag and "Stream read error" when the data ends
// (or a length is negative) before the string does.
class StringReader {
 public:
  StringReader(std::span<const uint8_t> data, size_t position) : data_(data), pos_(position) {}
  std::u16string ReadWideString();
  size_t position() const { return pos_; }

 private:
  const uint8_t* Take(size_t count);
  int32_t ReadInt32();

  std::span<const uint8_t> data_;
  size_t pos_;
};

}  // namespace velnorex
