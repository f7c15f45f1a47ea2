// Code page 1250 (Central European), the 8-bit code page of the definition files and of the log files.
#pragma once

#include <string>
#include <string_view>

namespace velnorex {

// A character that code page 1250 cannot hold becomes '?'.
std::string ToCp1250(std::u16string_view text);
std::u16string FromCp1250(std::string_view bytes);

}  // namespace velnorex
