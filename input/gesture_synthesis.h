#pragma once

#include <string_view>

#include "input/input_platform.h"

namespace lanternquill {

// Presses the key combination of a named desktop gesture ("mission_control",
// "show_desktop", "next_desktop", ...). Names compare exactly; an unknown
// name does nothing.
void PerformGesture(std::string_view name, InputPlatform& platform);

}  // namespace lanternquill
