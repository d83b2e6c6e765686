#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "input/input_platform.h"

namespace lanternquill {

// Hands one call to HandleInputMethodCall and returns its answer as text
// ("success", "success true", "error INVALID_ARGS: Missing text", "not
// implemented"). `arguments` absent makes a call without arguments. Fails the
// running test on a second answer or none.
std::string HandleCall(const std::string& method,
                       std::optional<flutter::EncodableValue> arguments,
                       InputPlatform& platform);

}  // namespace lanternquill
