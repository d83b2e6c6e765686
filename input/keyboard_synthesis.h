#pragma once

#include <cstdint>

#include "input/input_platform.h"

namespace lanternquill {

// Modifier flags of "pressKey"; every other bit is ignored.
constexpr std::int32_t kShiftFlag = 0x20000;
constexpr std::int32_t kControlFlag = 0x40000;
constexpr std::int32_t kAltFlag = 0x80000;
constexpr std::int32_t kMetaFlag = 0x100000;

// Presses and releases the virtual key (its low 16 bits) while holding the
// modifiers that `modifiers` names, all in one SendInput call.
void PressKey(std::int32_t key_code, std::int32_t modifiers,
              InputPlatform& platform);

// Presses and releases the virtual key (its low 16 bits) alone.
void PressMediaKey(std::int32_t key_code, InputPlatform& platform);

}  // namespace lanternquill
