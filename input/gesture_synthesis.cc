#include "input/gesture_synthesis.h"

#include <array>
#include <cstdint>

#include "input/input_records.h"
#include "input/keyboard_synthesis.h"

namespace lanternquill {
namespace {

constexpr std::int32_t kDKey = 0x44;

struct Gesture {
  std::string_view name;
  std::int32_t key_code;
  std::int32_t modifiers;
  // Ctrl+Windows+arrow, sent as its own sequence rather than with PressKey.
  bool switches_desktop;
};

constexpr std::array<Gesture, 10> kGestures = {{
    {"mission_control", VK_TAB, kMetaFlag, false},
    {"expose_all", VK_TAB, kMetaFlag, false},
    {"show_desktop", kDKey, kMetaFlag, false},
    {"app_switcher", VK_TAB, kAltFlag, false},
    {"cmd_tab", VK_TAB, kAltFlag, false},
    {"prev_desktop", VK_LEFT, 0, true},
    {"next_desktop", VK_RIGHT, 0, true},
    {"launchpad", VK_LWIN, 0, false},
    {"spotlight", VK_LWIN, 0, false},
    {"search", VK_LWIN, 0, false},
}};

// Ctrl goes down before the Windows key and up after it, the reverse of
// PressKey's modifier order.
void SwitchDesktop(WORD arrow, InputPlatform& platform) {
  std::array<INPUT, 6> records = {
      VirtualKeyRecord(VK_CONTROL, false), VirtualKeyRecord(VK_LWIN, false),
      VirtualKeyRecord(arrow, false),      VirtualKeyRecord(arrow, true),
      VirtualKeyRecord(VK_LWIN, true),     VirtualKeyRecord(VK_CONTROL, true)};
  platform.SendInput(static_cast<UINT>(records.size()), records.data(),
                     kInputSize);
}

}  // namespace

void PerformGesture(std::string_view name, InputPlatform& platform) {
  for (const Gesture& gesture : kGestures) {
    if (gesture.name != name) {
      continue;
    }
    if (gesture.switches_desktop) {
      SwitchDesktop(static_cast<WORD>(gesture.key_code), platform);
    } else {
      PressKey(gesture.key_code, gesture.modifiers, platform);
    }
    return;
  }
}

}  // namespace lanternquill
