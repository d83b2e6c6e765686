// The host keeps answering when memory runs out; a program of its own, since
// it replaces the global operator new.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/standard_method_codec.h"
#include "input/recording_input_platform.h"
#include "messaging/binary_messenger_impl.h"
#include "messaging/method_call.h"
#include "tests/support/engine_double.h"
#include "tests/support/input_channel.h"
#include "tests/support/replaced_new.h"

namespace flutter {
namespace {

using Bytes = std::vector<uint8_t>;

// Allocation k of a call fails, once or for good, for every k the call
// makes, from the engine's callback on: the call still gets exactly one
// reply, its own or a failure answer, the engine gets its references back,
// and one line says what happened.
TEST(LowMemoryReplyTest, EveryCallGetsOneReplyWhicheverAllocationFails) {
  const StandardMethodCodec& codec = StandardMethodCodec::GetInstance();
  const EncodableValue kTrue(true);
  struct Case {
    const char* method;
    EncodableValue arguments;
    Bytes answer;
  };
  const Case cases[] = {
      {"checkAccessibility", EncodableValue(),
       *codec.EncodeSuccessEnvelope(&kTrue)},
      {"mouseMove", EncodableMap{{"dx", 3.0}, {"dy", -2.0}},
       *codec.EncodeSuccessEnvelope(nullptr)},
      {"mouseMove", EncodableMap{{"dx", 3.0}},
       *codec.EncodeErrorEnvelope("INVALID_ARGS", "Missing dx or dy", nullptr)},
      {"typeText", EncodableMap{{"text", "\xC3\xBC\xF0\x9F\x98\x80"}},
       *codec.EncodeSuccessEnvelope(nullptr)},
      {"noSuchMethod", EncodableValue(), Bytes{}},
  };
  // The channel's answer when a call could not be handled, and the
  // messenger's when the call could not even be handed to the channel.
  const Bytes channel_failure = *codec.EncodeErrorEnvelope(
      "INTERNAL_ERROR", "Exception in method call handler", nullptr);
  const std::string what = std::bad_alloc().what();
  const std::string channel_line =
      std::string("Exception in method call handler on channel ") +
      lq_test::kInputChannel + ": " + what + "\n";
  const std::string delivery_line =
      "Exception in message delivery: " + what + "\n";

  lq_test::EngineDouble engine({/*record_calls=*/false});
  BinaryMessengerImpl messenger(engine.messenger());
  lanternquill::RecordingInputPlatform platform({/*record_calls=*/false});
  lq_test::ServeInputChannel(&messenger, platform);

  int runs = 0;
  int undelivered = 0;
  int failed_in_channel = 0;
  for (const Case& c : cases) {
    const Bytes message = *codec.EncodeMethodCall(MethodCall<EncodableValue>(
        c.method, std::make_unique<EncodableValue>(c.arguments)));
    for (bool once : {true, false}) {
      bool memory_ran_out = true;
      for (size_t granted = 0; memory_ran_out; ++granted) {
        SCOPED_TRACE(std::string(c.method) + ", allocation " +
                     std::to_string(granted) +
                     (once ? " fails once" : " fails for good"));
        const uint64_t responses_before = engine.responses();
        ::testing::internal::CaptureStderr();
        lq_test::g_failed_allocations = 0;
        lq_test::g_fail_once = once;
        lq_test::g_allocations_left = granted;
        engine.Deliver(lq_test::kInputChannel, message);
        lq_test::g_allocations_left = lq_test::kNeverFail;
        memory_ran_out = lq_test::g_failed_allocations != 0;
        const std::string written = ::testing::internal::GetCapturedStderr();
        ++runs;

        EXPECT_EQ(engine.responses() - responses_before, 1u);
        EXPECT_EQ(engine.outstanding_references(), 0);
        const Bytes reply = engine.last_response();
        if (!memory_ran_out) {
          EXPECT_EQ(reply, c.answer);
          EXPECT_EQ(written, "");
        } else if (written == delivery_line) {
          ++undelivered;
          EXPECT_EQ(reply, Bytes{});
        } else {
          ++failed_in_channel;
          EXPECT_EQ(reply, channel_failure);
          EXPECT_EQ(written, channel_line);
        }
      }
    }
  }
  // Both places where memory can run out were reached.
  EXPECT_GT(undelivered, 0);
  EXPECT_GT(failed_in_channel, 0);
  RecordProperty("runs", runs);
}

}  // namespace
}  // namespace flutter
