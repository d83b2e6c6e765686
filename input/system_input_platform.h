#pragma once

#include "input/input_platform.h"

namespace lanternquill {

// The process-wide pass-through to the real Windows input functions. Exists on
// the Windows target only.
InputPlatform& SystemInputPlatform();

}  // namespace lanternquill
