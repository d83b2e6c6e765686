// The whole channel path on arbitrary message bytes: the engine double
// delivers each message to the callback that BinaryMessengerImpl registered
// for the input channel's MethodChannel, whose handler is the input
// dispatcher. Every message gets exactly one response through the engine,
// the same bytes a direct dispatch of the decoded call answers, and every
// engine reference and lock taken for it is given back.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/standard_method_codec.h"
#include "input/input_method_handler.h"
#include "messaging/binary_messenger_impl.h"
#include "messaging/engine_method_result.h"
#include "messaging/method_call.h"
#include "messaging/method_channel.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/engine_double.h"

namespace {

using flutter::EncodableValue;

constexpr char kInputChannel[] = "com.lanternquill/input";

// The reply a direct dispatch gives; empty for an undecodable message, which
// the channel answers as not implemented.
std::vector<uint8_t> DirectReply(const uint8_t* data, size_t size) {
  const auto& codec = flutter::StandardMethodCodec::GetInstance();
  std::vector<uint8_t> reply;
  std::unique_ptr<flutter::MethodCall<EncodableValue>> call =
      codec.DecodeMethodCall(data, size);
  if (!call) {
    return reply;
  }
  auto result = std::make_unique<flutter::EngineMethodResult<EncodableValue>>(
      flutter::ReplyCallback([&reply](const uint8_t* bytes, size_t length) {
        if (bytes != nullptr) {
          reply.assign(bytes, bytes + length);
        }
      }),
      &codec, lq_fuzz::ChannelFailureReply());
  lq_fuzz::BoundedInputPlatform platform;
  try {
    lanternquill::HandleInputMethodCall(*call, std::move(result), platform);
  } catch (const lq_fuzz::BudgetExhausted&) {
    // Answered by the result on the exception's way out, as in the channel.
  }
  return reply;
}

size_t CallsTo(const lq_test::EngineDouble& engine, const char* function) {
  return engine.calls_to(function).size();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  lq_fuzz::SilenceDiagnostics();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lq_test::EngineDouble engine;
  flutter::BinaryMessengerImpl messenger(engine.messenger());
  lq_fuzz::BoundedInputPlatform platform;
  {
    // The registration outlives the channel object.
    flutter::MethodChannel channel(
        &messenger, kInputChannel,
        &flutter::StandardMethodCodec::GetInstance());
    channel.SetMethodCallHandler(
        [&platform](
            const flutter::MethodCall<EncodableValue>& call,
            std::unique_ptr<flutter::MethodResult<EncodableValue>> result) {
          lanternquill::HandleInputMethodCall(call, std::move(result),
                                              platform);
        });
  }
  const std::vector<uint8_t> message(data, data + size);
  engine.ClearCalls();
  const FlutterDesktopMessageResponseHandle* handle =
      engine.Deliver(kInputChannel, message);
  lq_fuzz::Require(handle != nullptr, "the input channel has no callback");

  const std::vector<lq_test::RecordedCall> responses =
      engine.calls_to("FlutterDesktopMessengerSendResponse");
  lq_fuzz::Require(responses.size() == 1, "not exactly one response");
  lq_fuzz::Require(responses[0].response_handle == handle,
                   "the response used another message's handle");
  const std::vector<uint8_t> expected = DirectReply(data, size);
  const std::vector<uint8_t> sent =
      responses[0].data.value_or(std::vector<uint8_t>());
  lq_fuzz::Require(responses[0].size == sent.size() && sent == expected,
                   "the channel's response differs from a direct dispatch");
  lq_fuzz::Require(engine.outstanding_references() == 0,
                   "an engine reference was kept after the response");
  lq_fuzz::Require(CallsTo(engine, "FlutterDesktopMessengerLock") ==
                       CallsTo(engine, "FlutterDesktopMessengerUnlock"),
                   "the messenger lock was not released");

  // A channel nobody registered reaches no handler and sends nothing.
  engine.ClearCalls();
  lq_fuzz::Require(engine.Deliver("com.lanternquill/other", message) == nullptr,
                   "an unregistered channel has a callback");
  lq_fuzz::Require(engine.calls().empty(),
                   "a message for an unregistered channel reached the host");
  return 0;
}
