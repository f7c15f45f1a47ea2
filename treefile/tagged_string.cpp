// TaggedString reading and writing; the host 8-bit code page is 1250.
#include "treefile/tagged_string.h"

#include <cstring>

#include "text/cp1250.h"
#include "treefile/tree_stream.h"

namespace velnorex {

namespace {

void PutInt32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

std::string EncodeUnitUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::u16string DecodeUnitUtf8(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  size_t i = 0;
  auto next = [&](uint32_t& acc) {
    if (i >= bytes.size()) return false;
    const uint8_t b = static_cast<uint8_t>(bytes[i++]);
    if ((b & 0xC0) != 0x80) return false;
    acc = (acc << 6) | (b & 0x3F);
    return true;
  };
  while (i < bytes.size()) {
    const uint8_t b = static_cast<uint8_t>(bytes[i++]);
    if (b < 0x80) {
      out.push_back(b);
      continue;
    }
    // Any byte from 0x80 starts a sequence: two bytes when bit 5 is clear, three when it is set. The result
    // is one 16-bit code unit, so excess high bits of odd lead bytes fall away.
    uint32_t acc = b & 0x3F;
    if ((b & 0x20) != 0 && !next(acc)) return {};
    if (!next(acc)) return {};
    out.push_back(static_cast<char16_t>(acc & 0xFFFF));
  }
  return out;
}

void WriteWideString(std::vector<uint8_t>& out, std::u16string_view text) {
  const std::string utf8 = EncodeUnitUtf8(text);
  if (utf8.size() < 2 * text.size()) {
    const std::string eightBit = ToCp1250(text);
    if (eightBit == utf8) {
      if (eightBit.size() <= 255) {
        out.push_back(StringTag::Short8Bit);
        out.push_back(static_cast<uint8_t>(eightBit.size()));
      } else {
        out.push_back(StringTag::Long8Bit);
        PutInt32(out, static_cast<uint32_t>(eightBit.size()));
      }
      out.insert(out.end(), eightBit.begin(), eightBit.end());
    } else {
      out.push_back(StringTag::Utf8);
      PutInt32(out, static_cast<uint32_t>(utf8.size()));
      out.insert(out.end(), utf8.begin(), utf8.end());
    }
    return;
  }
  out.push_back(StringTag::Utf16);
  PutInt32(out, static_cast<uint32_t>(text.size()));
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c & 0xFF));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
}

const uint8_t* StringReader::Take(size_t count) {
  if (pos_ > data_.size() || count > data_.size() - pos_) throw ReadError("Stream read error");
  const uint8_t* p = data_.data() + pos_;
  pos_ += count;
  return p;
}

int32_t StringReader::ReadInt32() {
  const uint8_t* p = Take(4);
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
  return static_cast<int32_t>(v);
}

std::u16string StringReader::ReadWideString() {
  const uint8_t tag = *Take(1);
  // Lengths are checked against the bytes present before anything is allocated for them.
  auto byteCount = [](int32_t length) -> size_t {
    if (length < 0) throw ReadError("Stream read error");
    return static_cast<size_t>(length);
  };
  switch (tag) {
    case StringTag::Short8Bit: {
      const size_t n = *Take(1);
      const uint8_t* p = Take(n);
      return FromCp1250(std::string_view(reinterpret_cast<const char*>(p), n));
    }
    case StringTag::Long8Bit: {
      const size_t n = byteCount(ReadInt32());
      const uint8_t* p = Take(n);
      return FromCp1250(std::string_view(reinterpret_cast<const char*>(p), n));
    }
    case StringTag::Utf16: {
      const size_t units = byteCount(ReadInt32());
      if (units > (data_.size() - pos_) / 2) throw ReadError("Stream read error");
      const uint8_t* p = Take(units * 2);
      std::u16string text(units, u'\0');
      for (size_t k = 0; k < units; ++k) text[k] = static_cast<char16_t>(p[2 * k] | (p[2 * k + 1] << 8));
      return text;
    }
    case StringTag::Utf8: {
      const size_t n = byteCount(ReadInt32());
      const uint8_t* p = Take(n);
      return DecodeUnitUtf8(std::string_view(reinterpret_cast<const char*>(p), n));
    }
    default:
      throw ReadError("Invalid property value");
  }
}

}  // namespace velnorex
