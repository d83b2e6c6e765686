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
#include "input/recording_input_platform.h"
#include "messaging/binary_messenger_impl.h"
#include "messaging/method_call.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/engine_double.h"
#include "tests/support/input_channel.h"

namespace {

using flutter::EncodableValue;

// The reply a direct dispatch gives; empty for an undecodable message, which
// the channel answers as not implemented.
std::vector<uint8_t> DirectReply(const uint8_t* data, size_t size) {
  std::vector<uint8_t> reply;
  const std::unique_ptr<flutter::MethodCall<EncodableValue>> call =
      flutter::StandardMethodCodec::GetInstance().DecodeMethodCall(data, size);
  if (call) {
    lq_fuzz::DispatchInputCall(*call,
                               [&reply](const uint8_t* bytes, size_t length) {
                                 if (bytes != nullptr) {
                                   reply.assign(bytes, bytes + length);
                                 }
                               });
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
  lanternquill::RecordingInputPlatform platform(lq_fuzz::kBoundedPlatform);
  lq_test::ServeInputChannel(&messenger, platform);
  const std::vector<uint8_t> message(data, data + size);
  engine.ClearCalls();
  const FlutterDesktopMessageResponseHandle* handle =
      engine.Deliver(lq_test::kInputChannel, message);
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
