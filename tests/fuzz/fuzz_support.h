#pragma once

// Pieces shared by the fuzz targets: the libFuzzer entry points, the check
// that turns a broken property into a crash, and the input platform and
// dispatch of decoded calls.

#include <cstddef>
#include <cstdint>

#include "codec/encodable_value.h"
#include "input/recording_input_platform.h"
#include "messaging/binary_messenger.h"
#include "messaging/method_call.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace lq_fuzz {

// Aborts with `what` on the standard error stream when `condition` is false,
// so that libFuzzer and the replay runner both report the input as a crash.
void Require(bool condition, const char* what);

// The codec writes a diagnostic line for every malformed read; millions of
// them would bury the fuzzer's own output. Sanitizer reports bypass std::cerr
// and stay visible.
void SilenceDiagnostics();

// The fuzz targets' platform keeps no calls and gives up (throws) after a
// fixed number of operations, so that the fuzzer never spends minutes on one
// input. The call then gets the channel's failure answer, which still has
// to be exactly one answer.
constexpr lanternquill::RecordingInputPlatform::Options kBoundedPlatform = {
    /*record_calls=*/false, /*operation_limit=*/20000};

// Hands `call` to the input dispatcher with a bounded platform, answered
// through an EngineMethodResult that passes each reply to `reply`, with the
// channel's failure answer when the platform gives up.
void DispatchInputCall(const flutter::MethodCall<flutter::EncodableValue>& call,
                       flutter::ReplyCallback reply);

}  // namespace lq_fuzz
