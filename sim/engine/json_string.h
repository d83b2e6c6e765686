#pragma once

// Strings as JSON, for the simulated engine's trace and the test tools'
// output lines: '"', '\' and control characters escaped.

#include <string>
#include <string_view>

#include "input/win32_input_types.h"

namespace lanternquill {

// UTF-8 `text`, read as the platform reads UTF-8 (ConvertUtf8ToUtf16), so
// the string shows the characters Windows would make of the bytes: U+FFFD
// where it cannot read them.
std::string JsonString(std::string_view text);

// UTF-16 `text` in ASCII, everything else as \u escapes of its units, so a
// reader gets it back exactly whatever the console's code page.
std::string AsciiJsonString(std::basic_string_view<WCHAR> text);

}  // namespace lanternquill
