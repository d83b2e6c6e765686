#include "messaging/method_channel.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/standard_method_codec.h"
#include "messaging/binary_messenger_impl.h"
#include "messaging/engine_method_result.h"
#include "messaging/method_call.h"
#include "messaging/method_result.h"
#include "tests/support/engine_double.h"

namespace flutter {
namespace {

using lq_test::EngineDouble;
using lq_test::RecordedCall;
using Bytes = std::vector<uint8_t>;
using Result = std::unique_ptr<MethodResult<EncodableValue>>;

constexpr char kChannel[] = "com.lanternquill/test";
constexpr char kSendResponse[] = "FlutterDesktopMessengerSendResponse";
constexpr char kDuplicateResult[] =
    "Error: Only one of Success, Error, or NotImplemented can be called, and "
    "it can be called exactly once. Ignoring duplicate result.\n";
constexpr char kUnansweredWarning[] =
    "Warning: Failed to respond to a message. This is a memory leak.\n";

struct Answer {
  const char* name;
  std::function<void(MethodResult<EncodableValue>&)> give;
  std::optional<Bytes> bytes;  // none: the empty reply
};

// One of each kind of answer and the reply bytes it must produce.
const std::vector<Answer>& Answers() {
  static const std::vector<Answer> answers{
      {"Success with a value",
       [](MethodResult<EncodableValue>& r) { r.Success(EncodableValue(5)); },
       Bytes{0x00, 0x03, 0x05, 0x00, 0x00, 0x00}},
      {"Success without a value",
       [](MethodResult<EncodableValue>& r) { r.Success(); }, Bytes{0x00, 0x00}},
      {"Error without details",
       [](MethodResult<EncodableValue>& r) { r.Error("INVALID_ARGS", ""); },
       Bytes{0x01, 0x07, 0x0C, 'I', 'N', 'V', 'A', 'L', 'I', 'D', '_', 'A', 'R',
             'G', 'S', 0x00, 0x00}},
      {"Error with details",
       [](MethodResult<EncodableValue>& r) {
         r.Error("E", "m", EncodableValue(true));
       },
       Bytes{0x01, 0x07, 0x01, 'E', 0x07, 0x01, 'm', 0x01}},
      {"NotImplemented",
       [](MethodResult<EncodableValue>& r) { r.NotImplemented(); },
       std::nullopt},
  };
  return answers;
}

class MethodChannelTest : public ::testing::Test {
 protected:
  void SetHandler(MethodCallHandler<EncodableValue> handler) {
    MethodChannel(&messenger_, kChannel, codec_)
        .SetMethodCallHandler(std::move(handler));
  }

  // Delivers a call of `method` with an integer argument.
  const FlutterDesktopMessageResponseHandle* DeliverCall(
      const std::string& method) {
    MethodCall<EncodableValue> call(method,
                                    std::make_unique<EncodableValue>(7));
    return engine_.Deliver(kChannel, *codec_->EncodeMethodCall(call));
  }

  std::vector<RecordedCall> Responses() const {
    return engine_.calls_to(kSendResponse);
  }

  EngineDouble engine_;
  BinaryMessengerImpl messenger_{engine_.messenger()};
  const StandardMethodCodec* codec_ = &StandardMethodCodec::GetInstance();
};

TEST_F(MethodChannelTest, TheHandlerReceivesTheDecodedCall) {
  std::string method;
  std::optional<EncodableValue> arguments;
  SetHandler([&](const MethodCall<EncodableValue>& call, Result result) {
    method = call.method_name();
    arguments = *call.arguments();
    result->Success();
  });

  DeliverCall("moveMouse");

  EXPECT_EQ(method, "moveMouse");
  EXPECT_EQ(arguments, EncodableValue(7));
}

TEST_F(MethodChannelTest, EachAnswerSendsItsEnvelope) {
  for (const Answer& answer : Answers()) {
    SCOPED_TRACE(answer.name);
    engine_.ClearCalls();
    SetHandler([&answer](const MethodCall<EncodableValue>&, Result result) {
      answer.give(*result);
    });

    testing::internal::CaptureStderr();
    const FlutterDesktopMessageResponseHandle* handle = DeliverCall("m");

    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    std::vector<RecordedCall> responses = Responses();
    ASSERT_EQ(responses.size(), 1u);
    EXPECT_EQ(responses[0].response_handle, handle);
    EXPECT_EQ(responses[0].data, answer.bytes);
    EXPECT_EQ(responses[0].size, answer.bytes ? answer.bytes->size() : 0u);
    EXPECT_EQ(engine_.outstanding_references(), 0);
  }
}

TEST_F(MethodChannelTest, ASecondAnswerIsRejectedWhateverTheOrder) {
  for (const Answer& first : Answers()) {
    for (const Answer& second : Answers()) {
      SCOPED_TRACE(std::string(first.name) + " then " + second.name);
      engine_.ClearCalls();
      SetHandler([&](const MethodCall<EncodableValue>&, Result result) {
        first.give(*result);
        second.give(*result);
      });

      testing::internal::CaptureStderr();
      DeliverCall("m");

      EXPECT_EQ(testing::internal::GetCapturedStderr(), kDuplicateResult);
      std::vector<RecordedCall> responses = Responses();
      ASSERT_EQ(responses.size(), 1u);
      EXPECT_EQ(responses[0].data, first.bytes);
    }
  }
}

TEST_F(MethodChannelTest, ARejectedSecondSuccessStillEncodesItsEnvelope) {
  SetHandler([](const MethodCall<EncodableValue>&, Result result) {
    result->NotImplemented();
    result->Success(EncodableValue(CustomEncodableValue(1)));
  });

  testing::internal::CaptureStderr();
  DeliverCall("m");

  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            std::string("Unhandled custom type in "
                        "StandardCodecSerializer::WriteValue. Custom types "
                        "require codec extensions.\n") +
                kDuplicateResult);
  EXPECT_EQ(Responses().size(), 1u);
}

TEST_F(MethodChannelTest, OnlyAnUnansweredResultWarnsWhenDestroyed) {
  for (bool answered : {true, false}) {
    SCOPED_TRACE(answered ? "answered" : "unanswered");
    engine_.ClearCalls();
    SetHandler([answered](const MethodCall<EncodableValue>&, Result result) {
      if (answered) {
        result->Success();
      }
    });

    testing::internal::CaptureStderr();
    DeliverCall("m");

    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              answered ? "" : kUnansweredWarning);
    EXPECT_EQ(Responses().size(), answered ? 1u : 0u);
    EXPECT_EQ(engine_.outstanding_references(), 0);
  }
}

TEST_F(MethodChannelTest, AResultKeptByTheHandlerAnswersLater) {
  Result kept;
  SetHandler([&kept](const MethodCall<EncodableValue>&, Result result) {
    kept = std::move(result);
  });

  DeliverCall("m");
  EXPECT_TRUE(Responses().empty());
  EXPECT_EQ(engine_.outstanding_references(), 1);

  kept->Success();
  kept.reset();
  EXPECT_EQ(Responses().size(), 1u);
  EXPECT_EQ(engine_.outstanding_references(), 0);
}

TEST_F(MethodChannelTest, AnUndecodableMessageGetsALineAndTheEmptyReply) {
  bool called = false;
  SetHandler([&called](const MethodCall<EncodableValue>&, Result result) {
    called = true;
    result->Success();
  });

  testing::internal::CaptureStderr();
  // The method name is the 32-bit integer 1.
  const FlutterDesktopMessageResponseHandle* handle =
      engine_.Deliver(kChannel, {0x03, 0x01, 0x00, 0x00, 0x00});

  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            std::string("Invalid method call; method name is not a string.\n"
                        "Unable to construct method call from message on "
                        "channel ") +
                kChannel + "\n");
  EXPECT_FALSE(called);
  std::vector<RecordedCall> responses = Responses();
  ASSERT_EQ(responses.size(), 1u);
  EXPECT_EQ(responses[0].response_handle, handle);
  EXPECT_EQ(responses[0].data, std::nullopt);
  EXPECT_EQ(responses[0].size, 0u);
}

TEST_F(MethodChannelTest, AnEmptyHandlerRemovesTheRegistrationEvenWithoutOne) {
  for (bool registered_before : {true, false}) {
    SCOPED_TRACE(registered_before ? "registered" : "never registered");
    if (registered_before) {
      SetHandler([](const MethodCall<EncodableValue>&, Result) {});
    }
    engine_.ClearCalls();

    SetHandler(nullptr);

    std::vector<RecordedCall> calls = engine_.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].function, "FlutterDesktopMessengerSetCallback");
    EXPECT_EQ(calls[0].channel, kChannel);
    EXPECT_EQ(calls[0].callback, nullptr);
    EXPECT_EQ(calls[0].user_data, nullptr);
    EXPECT_EQ(engine_.Deliver(kChannel, {}), nullptr);
  }
}

TEST_F(MethodChannelTest, TheChannelMayGoRightAfterItsHandlerIsSet) {
  std::string name_seen;
  {
    std::string name = "com.lanternquill/short-lived";
    auto channel = std::make_unique<MethodChannel>(&messenger_, name, codec_);
    channel->SetMethodCallHandler(
        [&name_seen](const MethodCall<EncodableValue>& call, Result result) {
          name_seen = call.method_name();
          result->Success();
        });
  }
  MethodCall<EncodableValue> call("ping", nullptr);

  engine_.Deliver("com.lanternquill/short-lived",
                  *codec_->EncodeMethodCall(call));

  EXPECT_EQ(name_seen, "ping");
  EXPECT_EQ(Responses().size(), 1u);
}

TEST_F(MethodChannelTest, ASecondHandlerReplacesTheFirst) {
  std::vector<std::string> seen;
  SetHandler([&seen](const MethodCall<EncodableValue>&, Result result) {
    seen.push_back("first");
    result->Success();
  });
  SetHandler([&seen](const MethodCall<EncodableValue>&, Result result) {
    seen.push_back("second");
    result->Success();
  });

  DeliverCall("m");

  EXPECT_EQ(seen, std::vector<std::string>{"second"});
}

TEST_F(MethodChannelTest, AThrowingHandlerLeavesNoCallUnanswered) {
  enum class Before { kNothing, kAnswer, kKeep };
  struct Case {
    const char* name;
    Before before;
    std::function<void()> thrower;
    const char* what;
  };
  const Case cases[] = {
      {"unanswered, standard exception", Before::kNothing,
       [] { throw std::runtime_error("bad things"); }, "bad things"},
      {"unanswered, other exception", Before::kNothing, [] { throw 42; },
       "unknown exception"},
      {"answered first", Before::kAnswer,
       [] { throw std::runtime_error("late"); }, "late"},
      // A result handed on before the throw is its new owner's to answer.
      {"kept elsewhere", Before::kKeep,
       [] { throw std::runtime_error("handed on"); }, "handed on"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    engine_.ClearCalls();
    Result kept;
    SetHandler([&c, &kept](const MethodCall<EncodableValue>&, Result result) {
      if (c.before == Before::kAnswer) {
        result->Success();
      } else if (c.before == Before::kKeep) {
        kept = std::move(result);
      }
      c.thrower();
    });

    testing::internal::CaptureStderr();
    DeliverCall("m");
    const size_t responses_before_kept = Responses().size();
    if (kept) {
      kept->Success();
      kept.reset();
    }

    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              std::string("Exception in method call handler on channel ") +
                  kChannel + ": " + c.what + "\n");
    EXPECT_EQ(responses_before_kept, c.before == Before::kKeep ? 0u : 1u);
    std::vector<RecordedCall> responses = Responses();
    ASSERT_EQ(responses.size(), 1u);
    Bytes expected = c.before != Before::kNothing
                         ? Bytes{0x00, 0x00}
                         : *codec_->EncodeErrorEnvelope(
                               "INTERNAL_ERROR",
                               "Exception in method call handler", nullptr);
    EXPECT_EQ(responses[0].data, expected);
    EXPECT_EQ(engine_.outstanding_references(), 0);
  }
}

// A reply given from inside another reply's callback must not write into
// the bytes still being sent.
TEST(EngineMethodResultTest, AReplyGivenWhileAnotherIsSentLeavesItWhole) {
  const StandardMethodCodec& codec = StandardMethodCodec::GetInstance();
  const EncodableValue inner_value("a longer inner reply");
  Bytes inner_bytes;
  Bytes outer_bytes;
  EngineMethodResult<EncodableValue> inner(
      [&inner_bytes](const uint8_t* data, size_t size) {
        inner_bytes.assign(data, data + size);
      },
      &codec);
  EngineMethodResult<EncodableValue> outer(
      [&inner, &inner_value, &outer_bytes](const uint8_t* data, size_t size) {
        inner.Success(inner_value);
        outer_bytes.assign(data, data + size);
      },
      &codec);

  outer.Success(EncodableValue(7));

  EXPECT_EQ(outer_bytes, (Bytes{0x00, 0x03, 0x07, 0x00, 0x00, 0x00}));
  EXPECT_EQ(inner_bytes, *codec.EncodeSuccessEnvelope(&inner_value));
}

}  // namespace
}  // namespace flutter
