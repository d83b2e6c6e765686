// DecodeMethodCall on arbitrary bytes, then HandleInputMethodCall with a
// bounded platform, answered through an EngineMethodResult: every decoded
// call gets exactly one reply, and that reply is a well-formed envelope.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/standard_method_codec.h"
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
  const std::unique_ptr<flutter::MethodCall<EncodableValue>> call =
      flutter::StandardMethodCodec::GetInstance().DecodeMethodCall(data, size);
  if (!call) {
    return 0;
  }
  int replies = 0;
  std::vector<uint8_t> reply;
  lq_fuzz::DispatchInputCall(
      *call, [&replies, &reply](const uint8_t* bytes, size_t length) {
        ++replies;
        lq_fuzz::Require(replies == 1, "a call was answered twice");
        lq_fuzz::Require(bytes != nullptr || length == 0,
                         "a reply has a size but no bytes");
        if (bytes != nullptr) {
          reply.assign(bytes, bytes + length);
        }
      });
  lq_fuzz::Require(replies == 1, "a call was not answered before returning");
  lq_fuzz::Require(IsWellFormedReply(reply), "a reply is not an envelope");
  return 0;
}
