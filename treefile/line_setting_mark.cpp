// The line-setting marker word in a register's Extra text.
#include "treefile/line_setting_mark.h"

namespace velnorex {

namespace {

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

}  // namespace

bool HasLineSettingMark(std::u16string_view extra) {
  for (size_t at = extra.find(kLineSettingMark); at != std::u16string_view::npos;
       at = extra.find(kLineSettingMark, at + 1)) {
    const size_t end = at + kLineSettingMark.size();
    const bool startsWord = at == 0 || IsBlank(extra[at - 1]);
    const bool endsWord = end == extra.size() || IsBlank(extra[end]);
    if (startsWord && endsWord) return true;
  }
  return false;
}

std::u16string WithLineSettingMark(std::u16string_view extra) {
  if (HasLineSettingMark(extra)) return std::u16string(extra);
  std::u16string out(extra);
  if (!out.empty()) out += u' ';
  out += kLineSettingMark;
  return out;
}

bool SplitLineSettingMark(std::u16string_view extra, std::u16string& rest) {
  rest = std::u16string(extra);
  if (extra == kLineSettingMark) {
    rest.clear();
    return true;
  }
  if (extra.size() <= kLineSettingMark.size() + 1 || !extra.ends_with(kLineSettingMark)) return false;
  const std::u16string_view before = extra.substr(0, extra.size() - kLineSettingMark.size() - 1);
  if (extra[before.size()] != u' ' || HasLineSettingMark(before)) return false;
  // Only a text that WithLineSettingMark turns back into `extra` byte for byte.
  if (WithLineSettingMark(before) != extra) return false;
  rest = std::u16string(before);
  return true;
}

}  // namespace velnorex
