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
  // Each record is filled where it lies: one made apart and copied in would
  // be read back right after its fields were stored, which stalls.
  const auto add = [&records, &count](WORD virtual_key, bool key_up) {
    INPUT& record = records[count++];
    record = INPUT{};
    record.type = INPUT_KEYBOARD;
    record.ki.wVk = virtual_key;
    record.ki.dwFlags = key_up ? KEYEVENTF_KEYUP : 0;
  };
  for (const Modifier& modifier : kModifiers) {
    if ((modifiers & modifier.flag) != 0) {
      add(modifier.virtual_key, false);
    }
  }
  const WORD key = VirtualKeyOf(key_code);
  add(key, false);
  add(key, true);
  for (auto it = kModifiers.rbegin(); it != kModifiers.rend(); ++it) {
    if ((modifiers & it->flag) != 0) {
      add(it->virtual_key, true);
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
