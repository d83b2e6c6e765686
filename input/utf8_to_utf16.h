#pragma once

#include <cstddef>

#include "input/win32_input_types.h"

namespace lanternquill {

// Converts UTF-8 to UTF-16 as MultiByteToWideChar does for CP_UTF8 with flags
// 0: an ill-formed sequence becomes one U+FFFD up to the first byte that
// cannot continue it (a lead byte and a continuation byte out of the lead's
// range, such as E0 80, are replaced as one); `length` -1
// reads up to and including the terminating NUL, which is converted too.
// With `output_size` 0 returns the units needed; otherwise writes them and
// returns their number. Returns 0 for a bad argument or a buffer too small.
int ConvertUtf8ToUtf16(const char* text, int length, WCHAR* output,
                       int output_size);

// The character at `bytes[*position]` as the conversion reads it, U+FFFD for
// an ill-formed sequence; advances `*position` past what it read.
char32_t DecodeUtf8Character(const unsigned char* bytes, std::size_t size,
                             std::size_t* position);

}  // namespace lanternquill
