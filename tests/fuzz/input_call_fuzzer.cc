// DecodeMethodCall on arbitrary bytes, then HandleInputMethodCall with a
// recording platform, answered through an EngineMethodResult: every decoded
// call gets exactly one reply, and that reply is a well-formed envelope.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/standard_method_codec.h"
#include "input/input_method_handler.h"
#include "messaging/engine_method_result.h"
#include "messaging/method_call.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using flutter::EncodableValue;

// A reply is empty (not implemented), a success envelope with one value, or
// an error envelope with a string code; StandardMethodCodec writes nothing
// else for this handler.
bool IsWellFormedReply(const std::vector<uint8_t>& reply) {
  if (reply.empty()) {
    return true;
  }
  return reply[0] == 0 ? reply.size() >= 2
                       : reply[0] == 1 && reply.size() >= 3 && reply[1] == 7;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  lq_fuzz::SilenceDiagnostics();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto& codec = flutter::StandardMethodCodec::GetInstance();
  std::unique_ptr<flutter::MethodCall<EncodableValue>> call =
      codec.DecodeMethodCall(data, size);
  if (!call) {
    return 0;
  }
  int replies = 0;
  std::vector<uint8_t> reply;
  auto result = std::make_unique<flutter::EngineMethodResult<EncodableValue>>(
      flutter::ReplyCallback(
          [&replies, &reply](const uint8_t* bytes, size_t length) {
            ++replies;
            lq_fuzz::Require(replies == 1, "a call was answered twice");
            lq_fuzz::Require(bytes != nullptr || length == 0,
                             "a reply has a size but no bytes");
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
  lq_fuzz::Require(replies == 1, "a call was not answered before returning");
  lq_fuzz::Require(IsWellFormedReply(reply), "a reply is not an envelope");
  return 0;
}
