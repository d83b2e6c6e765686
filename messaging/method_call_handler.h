#pragma once

#include <functional>
#include <memory>

#include "codec/encodable_value.h"
#include "messaging/method_call.h"
#include "messaging/method_result.h"

namespace flutter {

// Handles one decoded call. It owns the result and answers through it exactly
// once, before it returns or later. May be empty.
template <typename T = EncodableValue>
using MethodCallHandler = std::function<void(
    const MethodCall<T>& call, std::unique_ptr<MethodResult<T>> result)>;

}  // namespace flutter
