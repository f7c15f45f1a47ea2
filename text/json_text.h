// JSON text written by hand, for the text files whose layout people read and diff (definitions,
// configuration snapshots): a string literal that keeps every UTF-16 code unit.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velnorex {

// Appends `text` as a JSON string literal in UTF-8. Control characters and unpaired surrogates are escaped
// as \uXXXX, so that a JSON reader gives back exactly the same code units.
void AppendJsonString(std::string& out, std::u16string_view text);
// The same literal as a string of its own, and an array of such literals ("[...]" on one line).
std::string JsonString(std::u16string_view text);
std::string JsonStringArray(const std::vector<std::u16string>& items);
// "line:column" of a byte offset into UTF-8 text, counting characters, for a reader's messages.
std::string JsonLineColumn(std::string_view text, size_t offset);

}  // namespace velnorex
