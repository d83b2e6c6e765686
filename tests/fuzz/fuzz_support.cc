#include "tests/fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <streambuf>
#include <utility>

#include "codec/standard_method_codec.h"
#include "input/input_method_handler.h"
#include "messaging/engine_method_result.h"

namespace lq_fuzz {

namespace {

// Accepts and discards everything written to it.
class NullBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

}  // namespace

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fuzz property violated: %s\n", what);
    std::fflush(stderr);
    std::abort();
  }
}

void SilenceDiagnostics() {
  // Never destroyed: the standard streams are flushed after every static
  // of this file is gone.
  static NullBuffer* const null_buffer = new NullBuffer();
  std::cerr.rdbuf(null_buffer);
}

void DispatchInputCall(const flutter::MethodCall<flutter::EncodableValue>& call,
                       flutter::ReplyCallback reply) {
  const auto& codec = flutter::StandardMethodCodec::GetInstance();
  // The method channel's answer to a call whose handler threw.
  auto result = std::make_unique<flutter::EngineMethodResult<>>(
      std::move(reply), &codec,
      codec.EncodeErrorEnvelope("INTERNAL_ERROR",
                                "Exception in method call handler", nullptr));
  lanternquill::RecordingInputPlatform platform(kBoundedPlatform);
  try {
    lanternquill::HandleInputMethodCall(call, std::move(result), platform);
  } catch (const lanternquill::RecordingInputPlatform::OperationLimitReached&) {
    // Answered by the result on the exception's way out, as in the channel.
  }
}

}  // namespace lq_fuzz
