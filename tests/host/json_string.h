#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace lq_test {

// `text` as a JSON string for the test tools' output lines: ASCII as it is,
// everything else as \u escapes of its UTF-16 units, so the tests read it
// back exactly whatever the console's code page.
inline std::string JsonString(std::wstring_view text) {
  std::string out = "\"";
  for (const wchar_t c : text) {
    if (c == L'"' || c == L'\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c > 0x7E) {
      char escape[8];
      std::snprintf(escape, sizeof(escape), "\\u%04x",
                    static_cast<unsigned>(c));
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace lq_test
