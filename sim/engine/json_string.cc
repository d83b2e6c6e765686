#include "sim/engine/json_string.h"

#include <cstddef>
#include <cstdio>

#include "input/utf8_to_utf16.h"

namespace lanternquill {
namespace {

void AppendEscape(std::string* out, unsigned unit) {
  char escape[8];
  std::snprintf(escape, sizeof(escape), "\\u%04x", unit);
  out->append(escape);
}

void AppendAscii(std::string* out, char c) {
  // The characters JSON escapes with a letter, and their letters.
  constexpr std::string_view kEscaped = "\"\\\n\r\t";
  constexpr std::string_view kLetters = "\"\\nrt";
  const std::size_t escaped = kEscaped.find(c);
  if (escaped != std::string_view::npos) {
    out->push_back('\\');
    out->push_back(kLetters[escaped]);
  } else if (static_cast<unsigned char>(c) < 0x20) {
    AppendEscape(out, static_cast<unsigned char>(c));
  } else {
    out->push_back(c);
  }
}

}  // namespace

std::string JsonString(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::string out = "\"";
  for (std::size_t position = 0; position < text.size();) {
    const std::size_t start = position;
    const char32_t c = DecodeUtf8Character(bytes, text.size(), &position);
    if (c < 0x80) {
      AppendAscii(&out, static_cast<char>(c));
    } else if (c == 0xFFFD) {
      out.append("\xEF\xBF\xBD");
    } else {
      // A well-formed character keeps its bytes.
      out.append(text.substr(start, position - start));
    }
  }
  return out + "\"";
}

std::string AsciiJsonString(std::basic_string_view<WCHAR> text) {
  std::string out = "\"";
  for (const WCHAR unit : text) {
    if (unit < 0x7F) {
      AppendAscii(&out, static_cast<char>(unit));
    } else {
      AppendEscape(&out, unit);
    }
  }
  return out + "\"";
}

}  // namespace lanternquill
