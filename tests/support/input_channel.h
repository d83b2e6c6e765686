#pragma once

// The input channel served as the host serves it, over a test's messenger
// and input platform, for the programs that drive the whole channel path.

#include <memory>
#include <utility>

#include "codec/encodable_value.h"
#include "codec/standard_method_codec.h"
#include "input/input_method_handler.h"
#include "input/input_platform.h"
#include "messaging/binary_messenger.h"
#include "messaging/method_call.h"
#include "messaging/method_channel.h"
#include "messaging/method_result.h"

namespace lq_test {

inline constexpr char kInputChannel[] = "com.lanternquill/input";

// `platform` must outlive the registration, which outlives the channel
// object.
inline void ServeInputChannel(flutter::BinaryMessenger* messenger,
                              lanternquill::InputPlatform& platform) {
  flutter::MethodChannel(messenger, kInputChannel,
                         &flutter::StandardMethodCodec::GetInstance())
      .SetMethodCallHandler(
          [&platform](
              const flutter::MethodCall<flutter::EncodableValue>& call,
              std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>>
                  result) {
            lanternquill::HandleInputMethodCall(call, std::move(result),
                                                platform);
          });
}

}  // namespace lq_test
