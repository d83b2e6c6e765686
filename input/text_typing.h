#pragma once

#include <cstddef>
#include <string>

#include "input/input_platform.h"

namespace lanternquill {

// Pause after every typed UTF-16 unit.
constexpr DWORD kTypingPauseMilliseconds = 10;

// Types the UTF-8 text, up to its first NUL, as Unicode key events: one press
// and release per UTF-16 unit, each followed by a pause. Ill-formed bytes type
// whatever the platform's conversion makes of them; a failed conversion types
// nothing.
void TypeText(const std::string& text, InputPlatform& platform);

// Whether TypeText would type at most `max_units` UTF-16 units of `text`.
// Converts only when the UTF-8 length alone cannot tell.
bool TypesAtMostUnits(const std::string& text, std::size_t max_units,
                      InputPlatform& platform);

}  // namespace lanternquill
