#pragma once

#include <memory>

#include "codec/encodable_value.h"
#include "input/input_platform.h"
#include "messaging/method_call.h"
#include "messaging/method_result.h"

namespace lanternquill {

// Handles one call of the input channel: checks the method name and its
// arguments, performs the one synthesis operation it asks for through
// `platform`, and answers `result` exactly once before returning. Only an
// allocation that fails throws out of it, and the method channel then answers
// the call.
void HandleInputMethodCall(
    const flutter::MethodCall<flutter::EncodableValue>& call,
    std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result,
    InputPlatform& platform);

}  // namespace lanternquill
