// JSON string literals by hand.
#include "text/json_text.h"

#include <cstdint>

#include "text/number_text.h"

namespace velnorex {

void AppendJsonString(std::string& out, std::u16string_view text) {
  out += '"';
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool pairStart =
        c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    if (c == u'"') {
      out += "\\\"";
    } else if (c == u'\\') {
      out += "\\\\";
    } else if (c == u'\n') {
      out += "\\n";
    } else if (c == u'\t') {
      out += "\\t";
    } else if (c == u'\r') {
      out += "\\r";
    } else if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF && !pairStart)) {
      // Control characters and unpaired surrogates are escaped, so the text form keeps them exactly.
      static const char kHex[] = "0123456789abcdef";
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 0xF];
    } else if (pairStart) {
      out += ToUtf8(text.substr(i, 2));
      ++i;
    } else {
      out += ToUtf8(text.substr(i, 1));
    }
  }
  out += '"';
}

std::string JsonString(std::u16string_view text) {
  std::string out;
  AppendJsonString(out, text);
  return out;
}

std::string JsonStringArray(const std::vector<std::u16string>& items) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + JsonString(items[i]);
  return out + "]";
}

std::string JsonLineColumn(std::string_view text, size_t offset) {
  size_t line = 1, column = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else if ((static_cast<uint8_t>(text[i]) & 0xC0) != 0x80) {
      ++column;  // count characters, not UTF-8 continuation bytes
    }
  }
  return std::to_string(line) + ":" + std::to_string(column);
}

}  // namespace velnorex
