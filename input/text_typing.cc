#include "input/text_typing.h"

#include <array>
#include <cstddef>
#include <cstring>
#include <vector>

#include "input/input_records.h"

namespace lanternquill {
namespace {

// Most texts from the phone are short; they convert on the stack.
constexpr int kInlineUnits = 64;

void TypeUnits(const WCHAR* units, int count, InputPlatform& platform) {
  for (int i = 0; i < count && units[i] != 0; ++i) {
    const WORD unit = static_cast<WORD>(units[i]);
    std::array<INPUT, 2> records = {
        KeyboardRecord(0, unit, KEYEVENTF_UNICODE),
        KeyboardRecord(0, unit, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP)};
    platform.SendInput(static_cast<UINT>(records.size()), records.data(),
                       kInputSize);
    platform.Sleep(kTypingPauseMilliseconds);
  }
}

}  // namespace

void TypeText(const std::string& text, InputPlatform& platform) {
  const int count =
      platform.MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (count <= 0) {
    return;
  }
  std::array<WCHAR, kInlineUnits> inline_units{};
  std::vector<WCHAR> heap_units;
  WCHAR* units = inline_units.data();
  if (count > kInlineUnits) {
    heap_units.assign(static_cast<std::size_t>(count), 0);
    units = heap_units.data();
  }
  // Whatever the conversion leaves unwritten stays 0 and ends the walk.
  platform.MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, units, count);
  TypeUnits(units, count, platform);
}

bool TypesAtMostUnits(const std::string& text, std::size_t max_units,
                      InputPlatform& platform) {
  // Only what precedes the first NUL is typed.
  const std::size_t bytes = std::strlen(text.c_str());
  // Every unit comes from one to three bytes: a character beyond U+FFFF is
  // two units of four bytes, and an ill-formed sequence replaced by one unit
  // is at most three. So the length decides outside max..3 * max.
  if (bytes <= max_units) {
    return true;
  }
  if (bytes - max_units > 2 * max_units) {
    return false;
  }
  const int count =
      platform.MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  // The count includes the terminating NUL; a failed conversion types
  // nothing.
  return count <= 0 || static_cast<std::size_t>(count) - 1 <= max_units;
}

}  // namespace lanternquill
