// The host is written to keep answering when memory runs out; a program of
// its own, since it replaces the global operator new.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/standard_method_codec.h"
#include "input/input_method_handler.h"
#include "input/null_input_platform.h"
#include "messaging/binary_messenger.h"
#include "messaging/method_call.h"
#include "messaging/method_channel.h"
#include "tests/support/replaced_new.h"

namespace flutter {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr char kUnansweredWarning[] =
    "Warning: Failed to respond to a message. This is a memory leak.\n";

// Keeps the handler that the channel registers, so that the test can deliver
// to it directly.
class HandlerKeeper : public BinaryMessenger {
 public:
  void Send(const std::string& /*channel*/, const uint8_t* /*message*/,
            size_t /*message_size*/, ReplyCallback /*reply*/) override {}
  void SetMessageHandler(const std::string& /*channel*/,
                         MessageHandler handler) override {
    handler_ = std::move(handler);
  }

  MessageHandler handler_;
};

// What the reply callback received, kept without allocating.
struct Replies {
  int count = 0;
  std::array<uint8_t, 64> bytes{};
  size_t size = 0;

  Bytes last() const { return Bytes(bytes.begin(), bytes.begin() + size); }
};

// Memory runs out while the input handler has the call, at each of its
// allocations in turn, and stays out: the call still gets its one answer (its
// own, or the failure answer when its operation could not finish) or, when
// not even that could be encoded, the one warning of a dropped reply; and the
// process lives on.
TEST(LowMemoryReplyTest, CallIsAnsweredOnceOrWarnedOnceWhereverMemoryRunsOut) {
  const StandardMethodCodec& codec = StandardMethodCodec::GetInstance();
  const EncodableValue kTrue(true);
  struct Case {
    const char* method;
    EncodableValue arguments;
    Bytes answer;
  };
  const std::vector<Case> cases = {
      {"mouseMove", EncodableMap{{"dx", 3.0}, {"dy", -2.0}},
       *codec.EncodeSuccessEnvelope(nullptr)},
      {"typeText", EncodableMap{{"text", "\xC3\xBC\xF0\x9F\x98\x80"}},
       *codec.EncodeSuccessEnvelope(nullptr)},
      {"checkAccessibility", EncodableValue(),
       *codec.EncodeSuccessEnvelope(&kTrue)},
      {"noSuchMethod", EncodableValue(), Bytes{}},
  };
  const Bytes failure_answer = *codec.EncodeErrorEnvelope(
      "INPUT_FAILED", "Input could not be synthesized", nullptr);

  HandlerKeeper messenger;
  lanternquill::NullInputPlatform platform;
  size_t allocations = 0;
  MethodChannel(&messenger, "com.lanternquill/input", &codec)
      .SetMethodCallHandler(
          [&platform, &allocations](
              const MethodCall<EncodableValue>& call,
              std::unique_ptr<MethodResult<EncodableValue>> result) {
            lq_test::g_allocations_left = allocations;
            lanternquill::HandleInputMethodCall(call, std::move(result),
                                                platform);
          });

  int dropped_replies = 0;
  for (const Case& c : cases) {
    const Bytes message = *codec.EncodeMethodCall(MethodCall<EncodableValue>(
        c.method, std::make_unique<EncodableValue>(c.arguments)));
    bool memory_ran_out = true;
    for (allocations = 0; memory_ran_out; ++allocations) {
      SCOPED_TRACE(std::string(c.method) + " with memory out after " +
                   std::to_string(allocations) + " allocations");
      Replies replies;
      ReplyCallback reply = [&replies](const uint8_t* data, size_t size) {
        ++replies.count;
        replies.size = std::min(size, replies.bytes.size());
        std::copy_n(data, replies.size, replies.bytes.begin());
      };
      ::testing::internal::CaptureStderr();
      lq_test::g_failed_allocations = 0;
      try {
        // The engine's C trampoline stops every exception in the same way.
        messenger.handler_(message.data(), message.size(), std::move(reply));
      } catch (...) {
      }
      lq_test::g_allocations_left = lq_test::kNeverFail;
      memory_ran_out = lq_test::g_failed_allocations != 0;
      const std::string written = ::testing::internal::GetCapturedStderr();

      if (!memory_ran_out) {
        EXPECT_EQ(replies.count, 1);
        EXPECT_EQ(replies.last(), c.answer);
        EXPECT_EQ(written, "");
      } else if (replies.count == 0) {
        ++dropped_replies;
        EXPECT_EQ(written, kUnansweredWarning);
      } else {
        EXPECT_EQ(replies.count, 1);
        EXPECT_TRUE(replies.last() == c.answer ||
                    replies.last() == failure_answer)
            << ::testing::PrintToString(replies.last());
        EXPECT_EQ(written, "");
      }
    }
  }
  // The moment that matters was reached: an answer that could not be
  // encoded.
  EXPECT_GT(dropped_replies, 0);
}

}  // namespace
}  // namespace flutter
