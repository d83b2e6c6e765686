#include "messaging/binary_messenger_impl.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/engine_double.h"

namespace flutter {
namespace {

using lq_test::EngineDouble;
using lq_test::RecordedCall;

constexpr char kIsAvailable[] = "FlutterDesktopMessengerIsAvailable";
constexpr char kLock[] = "FlutterDesktopMessengerLock";
constexpr char kRelease[] = "FlutterDesktopMessengerRelease";
constexpr char kSendResponse[] = "FlutterDesktopMessengerSendResponse";
constexpr char kUnlock[] = "FlutterDesktopMessengerUnlock";
constexpr char kDuplicateResponse[] =
    "Error: Response can be set only once. Ignoring duplicate response.\n";

// Runs a function when the last copy of a callable holding it is destroyed.
struct DestroyProbe {
  std::function<void()> on_destroy;
  ~DestroyProbe() {
    if (on_destroy) {
      on_destroy();
    }
  }
};

RecordedCall Call(const char* function, FlutterDesktopMessengerRef messenger) {
  RecordedCall call;
  call.function = function;
  call.messenger = messenger;
  return call;
}

RecordedCall SetCallbackCall(FlutterDesktopMessengerRef messenger,
                             const std::string& channel,
                             FlutterDesktopMessageCallback callback,
                             void* user_data) {
  RecordedCall call = Call("FlutterDesktopMessengerSetCallback", messenger);
  call.channel = channel;
  call.callback = callback;
  call.user_data = user_data;
  return call;
}

RecordedCall ResponseCall(FlutterDesktopMessengerRef messenger,
                          const FlutterDesktopMessageResponseHandle* handle,
                          std::optional<std::vector<uint8_t>> data) {
  RecordedCall call = Call(kSendResponse, messenger);
  call.response_handle = handle;
  call.size = data ? data->size() : 0;
  call.data = std::move(data);
  return call;
}

class BinaryMessengerImplTest : public ::testing::Test {
 protected:
  // Registers a handler that keeps each reply callback in `kept_`.
  void RegisterKeepingHandler(const std::string& channel) {
    messenger_.SetMessageHandler(
        channel, [this](const uint8_t*, size_t, ReplyCallback reply) {
          kept_.push_back(std::move(reply));
        });
  }

  EngineDouble engine_;
  BinaryMessengerImpl messenger_{engine_.messenger()};
  std::vector<ReplyCallback> kept_;
  const std::vector<uint8_t> message_{1, 2, 3};
};

TEST_F(BinaryMessengerImplTest, RegisteringMakesOneSetCallbackAndDelivers) {
  const uint8_t* seen_data = nullptr;
  size_t seen_size = 0;
  messenger_.SetMessageHandler(
      "ch", [&](const uint8_t* data, size_t size, const ReplyCallback&) {
        seen_data = data;
        seen_size = size;
      });

  std::vector<RecordedCall> calls = engine_.calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], SetCallbackCall(engine_.messenger(), "ch",
                                      &OnEngineMessage, calls[0].user_data));
  EXPECT_NE(calls[0].user_data, nullptr);

  ASSERT_NE(engine_.Deliver("ch", message_), nullptr);
  EXPECT_EQ(seen_data, message_.data());
  EXPECT_EQ(seen_size, message_.size());
}

TEST_F(BinaryMessengerImplTest,
       ReplacingAHandlerDestroysTheOldOneFirstAndKeepsTheUserDataAddress) {
  int old_calls = 0;
  int new_calls = 0;
  bool old_destroyed = false;
  bool entry_empty_when_old_destroyed = false;
  void* user_data = nullptr;
  auto probe = std::make_shared<DestroyProbe>();
  probe->on_destroy = [&] {
    old_destroyed = true;
    entry_empty_when_old_destroyed =
        !*static_cast<const MessageHandler*>(user_data);
  };
  messenger_.SetMessageHandler(
      "ch", [probe, &old_calls](const uint8_t*, size_t, const ReplyCallback&) {
        ++old_calls;
      });
  probe.reset();
  user_data = engine_.calls().back().user_data;

  messenger_.SetMessageHandler(
      "ch", [&new_calls](const uint8_t*, size_t, const ReplyCallback&) {
        ++new_calls;
      });

  EXPECT_TRUE(old_destroyed);
  EXPECT_TRUE(entry_empty_when_old_destroyed);
  std::vector<RecordedCall> calls = engine_.calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1], SetCallbackCall(engine_.messenger(), "ch",
                                      &OnEngineMessage, user_data));
  engine_.Deliver("ch", message_);
  EXPECT_EQ(old_calls, 0);
  EXPECT_EQ(new_calls, 1);
}

TEST_F(BinaryMessengerImplTest, RemovingAHandlerAlwaysClearsTheEngineCallback) {
  for (bool registered_before : {true, false}) {
    SCOPED_TRACE(registered_before ? "registered" : "never registered");
    bool destroyed = false;
    if (registered_before) {
      auto probe = std::make_shared<DestroyProbe>();
      probe->on_destroy = [&destroyed] { destroyed = true; };
      messenger_.SetMessageHandler(
          "ch", [probe](const uint8_t*, size_t, const ReplyCallback&) {});
    }
    engine_.ClearCalls();

    messenger_.SetMessageHandler("ch", nullptr);

    EXPECT_EQ(destroyed, registered_before);
    EXPECT_EQ(engine_.calls(),
              std::vector<RecordedCall>{SetCallbackCall(
                  engine_.messenger(), "ch", nullptr, nullptr)});
    EXPECT_EQ(engine_.Deliver("ch", message_), nullptr);
  }
}

TEST_F(BinaryMessengerImplTest, SendWithoutReplyCallsPlainSend) {
  messenger_.Send("out", message_.data(), message_.size());

  RecordedCall expected =
      Call("FlutterDesktopMessengerSend", engine_.messenger());
  expected.channel = "out";
  expected.data = message_;
  expected.size = message_.size();
  EXPECT_EQ(engine_.calls(), std::vector<RecordedCall>{expected});
}

TEST_F(BinaryMessengerImplTest,
       SendWithReplyRunsTheReplyOnceOrNeverAndFreesIt) {
  for (bool accepted : {true, false}) {
    SCOPED_TRACE(accepted ? "accepted" : "refused");
    engine_.ClearCalls();
    engine_.answers().send_with_reply_accepted = accepted;
    bool freed = false;
    std::vector<std::vector<uint8_t>> replies;
    auto probe = std::make_shared<DestroyProbe>();
    probe->on_destroy = [&freed] { freed = true; };
    messenger_.Send("out", message_.data(), message_.size(),
                    [probe, &replies](const uint8_t* data, size_t size) {
                      replies.emplace_back(data, data + size);
                    });
    probe.reset();

    std::vector<RecordedCall> calls = engine_.calls();
    ASSERT_EQ(calls.size(), 1u);
    RecordedCall expected =
        Call("FlutterDesktopMessengerSendWithReply", engine_.messenger());
    expected.channel = "out";
    expected.data = message_;
    expected.size = message_.size();
    expected.reply = &OnEngineReply;
    expected.user_data = calls[0].user_data;
    EXPECT_EQ(calls[0], expected);
    EXPECT_NE(calls[0].user_data, nullptr);
    // A refused record is freed at once; an accepted one waits for the reply.
    EXPECT_EQ(freed, !accepted);

    EXPECT_EQ(engine_.ReplyToOldestSend({9, 8}), accepted);
    EXPECT_TRUE(freed);
    using Replies = std::vector<std::vector<uint8_t>>;
    EXPECT_EQ(replies, (accepted ? Replies{{9, 8}} : Replies{}));
  }
}

TEST_F(BinaryMessengerImplTest, AnExceptionFromASendersReplyStopsThere) {
  messenger_.Send(
      "out", message_.data(), message_.size(),
      [](const uint8_t*, size_t) { throw std::runtime_error("reply failed"); });
  testing::internal::CaptureStderr();
  EXPECT_TRUE(engine_.ReplyToOldestSend({}));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Exception in reply handler: reply failed\n");
}

TEST_F(BinaryMessengerImplTest, AReplySendsItsBytesUnchangedUnderTheLock) {
  struct Case {
    const char* name;
    std::optional<std::vector<uint8_t>> reply;
  };
  const Case cases[] = {{"bytes", std::vector<uint8_t>{0, 7, 255}},
                        {"empty reply", std::nullopt}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    messenger_.SetMessageHandler(
        "ch", [&c](const uint8_t*, size_t, const ReplyCallback& reply) {
          if (c.reply) {
            reply(c.reply->data(), c.reply->size());
          } else {
            reply(nullptr, 0);
          }
        });
    engine_.ClearCalls();

    const FlutterDesktopMessageResponseHandle* handle =
        engine_.Deliver("ch", message_);

    FlutterDesktopMessengerRef m = engine_.messenger();
    EXPECT_EQ(engine_.calls(),
              (std::vector<RecordedCall>{
                  Call("FlutterDesktopMessengerAddRef", m), Call(kLock, m),
                  Call(kIsAvailable, m), ResponseCall(m, handle, c.reply),
                  Call(kUnlock, m), Call(kRelease, m)}));
    EXPECT_EQ(engine_.outstanding_references(), 0);
  }
}

TEST_F(BinaryMessengerImplTest, TheLockTokenIsUnlockedOnlyWhenThereIsOne) {
  struct Case {
    const char* name;
    FlutterDesktopMessengerRef token;
  };
  const Case cases[] = {{"messenger as token", engine_.messenger()},
                        {"distinct token", engine_.alternate_handle()},
                        {"no token", nullptr}};
  RegisterKeepingHandler("ch");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    engine_.answers().lock_token = c.token;
    const FlutterDesktopMessageResponseHandle* handle =
        engine_.Deliver("ch", message_);
    engine_.ClearCalls();

    kept_.back()(nullptr, 0);

    FlutterDesktopMessengerRef m = engine_.messenger();
    std::vector<RecordedCall> expected{Call(kLock, m), Call(kIsAvailable, m),
                                       ResponseCall(m, handle, std::nullopt)};
    if (c.token != nullptr) {
      expected.push_back(Call(kUnlock, c.token));
    }
    EXPECT_EQ(engine_.calls(), expected);
  }
}

// Every way of invoking one message's reply a second time: through the same
// callable, or through a copy, in either order.
TEST_F(BinaryMessengerImplTest, ASecondReplyThroughAnyCopyIsRejected) {
  struct Case {
    const char* name;
    std::function<void(ReplyCallback&)> reply_twice;
  };
  const uint8_t octet = 5;
  const Case cases[] = {
      {"same callable",
       [&](ReplyCallback& reply) {
         reply(&octet, 1);
         reply(&octet, 1);
       }},
      {"copy first",
       [&](ReplyCallback& reply) {
         ReplyCallback copy = reply;
         copy(&octet, 1);
         reply(&octet, 1);
       }},
      {"copy second",
       [&](ReplyCallback& reply) {
         ReplyCallback copy = reply;
         reply(&octet, 1);
         copy(&octet, 1);
       }},
  };
  RegisterKeepingHandler("ch");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FlutterDesktopMessageResponseHandle* handle =
        engine_.Deliver("ch", message_);
    engine_.ClearCalls();

    testing::internal::CaptureStderr();
    c.reply_twice(kept_.back());

    EXPECT_EQ(testing::internal::GetCapturedStderr(), kDuplicateResponse);
    EXPECT_EQ(engine_.calls_to(kSendResponse),
              std::vector<RecordedCall>{ResponseCall(
                  engine_.messenger(), handle, std::vector<uint8_t>{5})});
    EXPECT_EQ(engine_.calls_to(kUnlock).size(), 2u);
  }
}

TEST_F(BinaryMessengerImplTest,
       AReplyAfterTheEngineHasGoneIsDroppedSilentlyButLocks) {
  RegisterKeepingHandler("ch");
  const FlutterDesktopMessageResponseHandle* handle =
      engine_.Deliver("ch", message_);
  engine_.ClearCalls();
  engine_.answers().available = false;

  testing::internal::CaptureStderr();
  kept_.back()(message_.data(), message_.size());

  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  FlutterDesktopMessengerRef m = engine_.messenger();
  EXPECT_EQ(engine_.calls(),
            (std::vector<RecordedCall>{Call(kLock, m), Call(kIsAvailable, m),
                                       Call(kUnlock, m)}));

  // The dropped reply left the response handle unused.
  engine_.answers().available = true;
  kept_.back()(nullptr, 0);
  EXPECT_EQ(engine_.calls_to(kSendResponse),
            std::vector<RecordedCall>{ResponseCall(m, handle, std::nullopt)});
}

TEST_F(BinaryMessengerImplTest, AKeptReplyHoldsTheEngineReferenceUntilItGoes) {
  RegisterKeepingHandler("ch");
  engine_.Deliver("ch", message_);
  ReplyCallback copy = kept_.back();
  EXPECT_EQ(engine_.outstanding_references(), 1);

  kept_.clear();
  EXPECT_EQ(engine_.outstanding_references(), 1);
  EXPECT_TRUE(engine_.calls_to(kRelease).empty());

  copy = nullptr;
  EXPECT_EQ(engine_.outstanding_references(), 0);
  EXPECT_EQ(engine_.calls_to(kRelease),
            std::vector<RecordedCall>{Call(kRelease, engine_.messenger())});
}

TEST_F(BinaryMessengerImplTest, ADroppedReplyIsReleasedAsTheTrampolineReturns) {
  for (bool replied : {true, false}) {
    SCOPED_TRACE(replied ? "replied" : "dropped unanswered");
    int references_after_drop = -1;
    messenger_.SetMessageHandler(
        "ch", [&](const uint8_t*, size_t, ReplyCallback reply) {
          if (replied) {
            reply(nullptr, 0);
          }
          reply = nullptr;
          references_after_drop = engine_.outstanding_references();
        });
    engine_.ClearCalls();

    engine_.Deliver("ch", message_);

    // The trampoline's own share outlives the handler's.
    EXPECT_EQ(references_after_drop, 1);
    EXPECT_EQ(engine_.outstanding_references(), 0);
    EXPECT_EQ(engine_.calls().back().function, kRelease);
    EXPECT_EQ(engine_.calls_to(kSendResponse).size(), replied ? 1u : 0u);
  }
}

TEST_F(BinaryMessengerImplTest, AnExceptionFromAHandlerStopsAtTheTrampoline) {
  struct Case {
    const char* name;
    std::function<void()> thrower;
    const char* line;
  };
  const Case cases[] = {
      {"standard exception", [] { throw std::runtime_error("boom"); },
       "Exception in message handler: boom\n"},
      {"other exception", [] { throw 7; },
       "Exception in message handler: unknown exception\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    messenger_.SetMessageHandler(
        "ch",
        [&c](const uint8_t*, size_t, const ReplyCallback&) { c.thrower(); });

    testing::internal::CaptureStderr();
    engine_.Deliver("ch", message_);

    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.line);
    EXPECT_EQ(engine_.outstanding_references(), 0);
  }
}

TEST(BinaryMessengerImplLifetimeTest, DestroyingTheMessengerMakesNoEngineCall) {
  EngineDouble engine;
  auto messenger = std::make_unique<BinaryMessengerImpl>(engine.messenger());
  int destroyed = 0;
  for (const char* channel : {"a", "b"}) {
    auto probe = std::make_shared<DestroyProbe>();
    probe->on_destroy = [&destroyed] { ++destroyed; };
    messenger->SetMessageHandler(
        channel, [probe](const uint8_t*, size_t, const ReplyCallback&) {});
  }
  engine.ClearCalls();

  messenger.reset();

  EXPECT_EQ(destroyed, 2);
  EXPECT_TRUE(engine.calls().empty());
}

}  // namespace
}  // namespace flutter
