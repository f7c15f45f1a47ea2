// The mark of a register that sets the transducer's own line (its bus address, baud rate or parity): a word
// in the RegisterNode's free-text Extra field, so that definition files carry it without a change of format.
#pragma once

#include <string>
#include <string_view>

namespace velnorex {

// The marker word. It stands apart from the rest of Extra by blanks (or the text's ends).
inline constexpr std::u16string_view kLineSettingMark = u"#linia";

// Whether `extra` holds the marker word.
bool HasLineSettingMark(std::u16string_view extra);
// `extra` with the marker word appended after one blank (or alone when `extra` is empty); unchanged when it
// holds the word already.
std::u16string WithLineSettingMark(std::u16string_view extra);
// The inverse of WithLineSettingMark: when `extra` is exactly what it would make of some text, that text and
// true; otherwise `extra` unchanged and false (a marker written elsewhere in the text stays where it is).
bool SplitLineSettingMark(std::u16string_view extra, std::u16string& rest);

}  // namespace velnorex
