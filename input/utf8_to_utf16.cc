#include "input/utf8_to_utf16.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace lanternquill {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// An ill-formed sequence is skipped up to the first byte that cannot continue
// it, so a following well-formed character survives. Kept in this file, so
// that the conversion's loops have it inline.
inline char32_t DecodeOne(const unsigned char* bytes, std::size_t size,
                          std::size_t* position) {
  const std::size_t start = *position;
  const unsigned char lead = bytes[start];
  if (lead < 0x80) {
    *position = start + 1;
    return lead;
  }
  std::size_t continuation_count = 0;
  unsigned char lower = 0x80;
  unsigned char upper = 0xBF;
  char32_t code_point = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    continuation_count = 1;
    code_point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    continuation_count = 2;
    code_point = lead & 0x0F;
    // No overlong forms and no surrogates.
    if (lead == 0xE0) {
      lower = 0xA0;
    } else if (lead == 0xED) {
      upper = 0x9F;
    }
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    continuation_count = 3;
    code_point = lead & 0x07;
    // No overlong forms and nothing beyond U+10FFFF.
    if (lead == 0xF0) {
      lower = 0x90;
    } else if (lead == 0xF4) {
      upper = 0x8F;
    }
  } else {
    *position = start + 1;
    return kReplacementCharacter;
  }
  for (std::size_t k = 1; k <= continuation_count; ++k) {
    if (k >= size - start || bytes[start + k] < 0x80 ||
        bytes[start + k] > 0xBF) {
      *position = start + k;
      return kReplacementCharacter;
    }
    // A continuation byte that makes an overlong form, a surrogate or a code
    // point beyond U+10FFFF is replaced together with its lead byte, as
    // Windows does.
    if (bytes[start + k] < lower || bytes[start + k] > upper) {
      *position = start + k + 1;
      return kReplacementCharacter;
    }
    code_point = (code_point << 6) | (bytes[start + k] & 0x3F);
    lower = 0x80;
    upper = 0xBF;
  }
  *position = start + continuation_count + 1;
  return code_point;
}

}  // namespace

char32_t DecodeUtf8Character(const unsigned char* bytes, std::size_t size,
                             std::size_t* position) {
  return DecodeOne(bytes, size, position);
}

int ConvertUtf8ToUtf16(const char* text, int length, WCHAR* output,
                       int output_size) {
  if (text == nullptr || length == 0 || length < -1 || output_size < 0 ||
      (output_size > 0 && output == nullptr)) {
    return 0;
  }
  const std::size_t size =
      length == -1 ? std::strlen(text) + 1 : static_cast<std::size_t>(length);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);

  // Counted first, so a buffer that is too small is left untouched.
  std::size_t needed = 0;
  for (std::size_t position = 0; position < size;) {
    needed += DecodeOne(bytes, size, &position) > 0xFFFF ? 2u : 1u;
  }
  if (needed > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    return 0;
  }
  if (output_size == 0) {
    return static_cast<int>(needed);
  }
  if (needed > static_cast<std::size_t>(output_size)) {
    return 0;
  }
  std::size_t written = 0;
  for (std::size_t position = 0; position < size;) {
    const char32_t code_point = DecodeOne(bytes, size, &position);
    if (code_point > 0xFFFF) {
      const char32_t offset = code_point - 0x10000;
      output[written++] = static_cast<WCHAR>(0xD800 + (offset >> 10));
      output[written++] = static_cast<WCHAR>(0xDC00 + (offset & 0x3FF));
    } else {
      output[written++] = static_cast<WCHAR>(code_point);
    }
  }
  return static_cast<int>(written);
}

}  // namespace lanternquill
