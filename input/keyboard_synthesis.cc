#include "input/keyboard_synthesis.h"

#include <array>
#include <cstddef>

#include "input/input_records.h"

namespace lanternquill {
namespace {

struct Modifier {
  std::int32_t flag;
  WORD virtual_key;
};

// Press order; releases go the other way round.
constexpr std::array<Modifier, 4> kModifiers = {{
    {kMetaFlag, VK_LWIN},
    {kControlFlag, VK_CONTROL},
    {kAltFlag, VK_MENU},
    {kShiftFlag, VK_SHIFT},
}};

// Only the low 16 bits of a key code name a virtual key.
WORD VirtualKeyOf(std::int32_t key_code) {
  return static_cast<WORD>(key_code & 0xFFFF);
}

}  // namespace

void PressKey(std::int32_t key_code, std::int32_t modifiers,
              InputPlatform& platform) {
  // Four modifiers down and up plus the key itself: at most 10 records, so a
  // fixed array saves an allocation on every key press. Only the first
  // `count` records are written and sent, so the array is not zero-filled
  // first.
  std::array<INPUT, 2 * kModifiers.size() + 2> records;
  std::size_t count = 0;
  for (const Modifier& modifier : kModifiers) {
    if ((modifiers & modifier.flag) != 0) {
      records[count++] = VirtualKeyRecord(modifier.virtual_key, false);
    }
  }
  const WORD key = VirtualKeyOf(key_code);
  records[count++] = VirtualKeyRecord(key, false);
  records[count++] = VirtualKeyRecord(key, true);
  for (auto it = kModifiers.rbegin(); it != kModifiers.rend(); ++it) {
    if ((modifiers & it->flag) != 0) {
      records[count++] = VirtualKeyRecord(it->virtual_key, true);
    }
  }
  platform.SendInput(static_cast<UINT>(count), records.data(), kInputSize);
}

void PressMediaKey(std::int32_t key_code, InputPlatform& platform) {
  const WORD key = VirtualKeyOf(key_code);
  std::array<INPUT, 2> records = {VirtualKeyRecord(key, false),
                                  VirtualKeyRecord(key, true)};
  platform.SendInput(static_cast<UINT>(records.size()), records.data(),
                     kInputSize);
}

}  // namespace lanternquill
