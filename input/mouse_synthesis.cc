#include "input/mouse_synthesis.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

#include "input/input_records.h"

namespace lanternquill {
namespace {

// Widened arithmetic cannot overflow; the result is brought back into the
// int32 range, whose overflow would be undefined.
std::int32_t ClampToInt32(std::int64_t value) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::int32_t>::max()));
}

struct ButtonFlags {
  DWORD press;
  DWORD release;
};

ButtonFlags ButtonFlagsOf(std::string_view button) {
  if (button == "right") {
    return {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP};
  }
  if (button == "middle") {
    return {MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP};
  }
  return {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
}

void SendWheel(DWORD flag, std::int32_t notches, InputPlatform& platform) {
  INPUT record =
      MouseRecord(flag, ClampToInt32(std::int64_t{notches} * WHEEL_DELTA));
  platform.SendInput(1, &record, kInputSize);
}

}  // namespace

void MoveMouseBy(std::int32_t dx, std::int32_t dy, InputPlatform& platform) {
  POINT position{};
  // Without a readable position there is no base to move from.
  if (!platform.GetCursorPos(&position)) {
    return;
  }
  platform.SetCursorPos(ClampToInt32(std::int64_t{position.x} + dx),
                        ClampToInt32(std::int64_t{position.y} + dy));
}

void ClickMouse(std::string_view button, std::int32_t clicks,
                InputPlatform& platform) {
  const ButtonFlags flags = ButtonFlagsOf(button);
  for (std::int32_t i = 0; i < clicks; ++i) {
    std::array<INPUT, 2> records = {MouseRecord(flags.press, 0),
                                    MouseRecord(flags.release, 0)};
    platform.SendInput(static_cast<UINT>(records.size()), records.data(),
                       kInputSize);
    // Pauses only between clicks, never after the last.
    if (i + 1 < clicks) {
      platform.Sleep(kClickPauseMilliseconds);
    }
  }
}

void ScrollMouse(std::int32_t dx, std::int32_t dy, InputPlatform& platform) {
  if (dy != 0) {
    SendWheel(MOUSEEVENTF_WHEEL, dy, platform);
  }
  if (dx != 0) {
    SendWheel(MOUSEEVENTF_HWHEEL, dx, platform);
  }
}

}  // namespace lanternquill
