#pragma once

#include <cstdint>
#include <string_view>

#include "input/input_platform.h"

namespace lanternquill {

// Pause between two clicks of one request.
constexpr DWORD kClickPauseMilliseconds = 50;

// Moves the cursor by (dx, dy) screen pixels from where it is. The target is
// clamped to the int32 range; an unreadable cursor position skips the move.
void MoveMouseBy(std::int32_t dx, std::int32_t dy, InputPlatform& platform);

// Clicks "right", "middle" or (any other name) the left button `clicks` times,
// pausing between clicks. A count of 0 or less clicks nothing.
void ClickMouse(std::string_view button, std::int32_t clicks,
                InputPlatform& platform);

// Turns the wheel by dy notches vertically, then dx notches horizontally; an
// axis of 0 sends nothing. Amounts beyond the int32 range are clamped.
void ScrollMouse(std::int32_t dx, std::int32_t dy, InputPlatform& platform);

}  // namespace lanternquill
