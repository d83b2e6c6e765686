#include "sim/engine/test_port_protocol.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <utility>

#include "sim/engine/input_call_log.h"
#include "sim/engine/pending_reply.h"

namespace lanternquill::sim {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(TestPortProtocolTest, ParsesMessagesAndCloseAndRejectsMalformedBodies) {
  const struct {
    Bytes body;
    bool valid;
    PortOperation operation;
    std::string channel;
    Bytes message;
  } cases[] = {
      {{1, 3, 'a', 'b', 'c', 9, 8},
       true,
       PortOperation::kMessage,
       "abc",
       {9, 8}},
      {{1, 2, 'a', 'b'}, true, PortOperation::kMessage, "ab", {}},
      {{1, 0}, true, PortOperation::kMessage, "", {}},
      {{2}, true, PortOperation::kClose, "", {}},
      {{}, false, {}, "", {}},
      {{1}, false, {}, "", {}},
      {{1, 4, 'a', 'b', 'c'}, false, {}, "", {}},
      {{1, 255}, false, {}, "", {}},
      {{2, 0}, false, {}, "", {}},
      {{3}, false, {}, "", {}},
      {{0, 0}, false, {}, "", {}},
  };
  for (const auto& test : cases) {
    const auto request = ParsePortRequest(test.body.data(), test.body.size());
    ASSERT_EQ(request.has_value(), test.valid) << test.body.size();
    if (!request) continue;
    EXPECT_EQ(request->operation, test.operation);
    EXPECT_EQ(request->channel, test.channel);
    EXPECT_EQ(request->message, test.message);
  }
}

TEST(TestPortProtocolTest, EncodesResponsesWithLittleEndianBodyLength) {
  EXPECT_EQ(EncodePortResponse(PortStatus::kOk, {0xAA, 0xBB}),
            (Bytes{3, 0, 0, 0, 0, 0xAA, 0xBB}));
  EXPECT_EQ(EncodePortResponse(PortStatus::kNoResponse, {}),
            (Bytes{1, 0, 0, 0, 2}));
  const Bytes length{0x78, 0x56, 0x34, 0x12};
  EXPECT_EQ(ReadU32Le(length.data()), 0x12345678u);
}

TEST(TestPortProtocolTest, AcceptsOnlyDecimalPortNumbersInRange) {
  const std::pair<const char*, uint16_t> accepted[] = {
      {"1", 1}, {"47110", 47110}, {"65535", 65535}};
  for (const auto& [text, port] : accepted) {
    EXPECT_EQ(ParsePortNumber(text), port) << text;
  }
  for (const char* text : {"0", "65536", "", "12a", "-1", " 80", "0000080"}) {
    EXPECT_EQ(ParsePortNumber(text), std::nullopt) << text;
  }
}

TEST(PendingReplyTest, ReportsTheFirstOutcomeAndWaitsOutTheGraceAfterReturn) {
  using namespace std::chrono_literals;
  std::atomic<bool> stopping{false};
  {
    PendingReply reply;
    const uint8_t bytes[] = {1, 2};
    reply.Respond(bytes, 2);
    reply.NoCallback();
    EXPECT_EQ(reply.Wait(10ms, stopping), PendingReply::Outcome::kResponded);
    EXPECT_EQ(reply.response(), (Bytes{1, 2}));
  }
  {
    PendingReply reply;
    reply.NoCallback();
    EXPECT_EQ(reply.Wait(10ms, stopping), PendingReply::Outcome::kNoCallback);
  }
  {
    PendingReply reply;
    reply.CallbackReturned();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(reply.Wait(100ms, stopping, 5ms),
              PendingReply::Outcome::kNoResponse);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
  }
}

TEST(PendingReplyTest, WaitsForALongCallbackBeforeTheGraceStarts) {
  using namespace std::chrono_literals;
  std::atomic<bool> stopping{false};
  PendingReply reply;
  std::thread ui([&] {
    // The callback runs longer than the grace period, then responds late but
    // within the grace after its return.
    std::this_thread::sleep_for(150ms);
    reply.CallbackReturned();
    std::this_thread::sleep_for(20ms);
    const uint8_t bytes[] = {7};
    reply.Respond(bytes, 1);
  });
  EXPECT_EQ(reply.Wait(100ms, stopping, 5ms),
            PendingReply::Outcome::kResponded);
  ui.join();
  EXPECT_EQ(reply.response(), Bytes{7});
}

TEST(PendingReplyTest, StopsWaitingWhenThePortShutsDown) {
  using namespace std::chrono_literals;
  std::atomic<bool> stopping{true};
  PendingReply reply;
  EXPECT_EQ(reply.Wait(10s, stopping, 5ms), PendingReply::Outcome::kStopped);
}

TEST(InputCallLogTest, NamesMethodsAndDescribesReplies) {
  const Bytes call{7, 8, 't', 'y', 'p', 'e', 'T', 'e', 'x', 't', 0};
  EXPECT_EQ(MethodNameOf(call.data(), call.size()), "typeText");
  const Bytes truncated{7, 9, 'a'};
  EXPECT_EQ(MethodNameOf(truncated.data(), truncated.size()), "?");
  EXPECT_EQ(MethodNameOf(nullptr, 0), "?");

  const struct {
    Bytes reply;
    std::string text;
  } replies[] = {
      {{}, "not implemented"},
      {{0, 0}, "success"},
      {{0, 1}, "success: true"},
      {{0, 3, 0xFE, 0xFF, 0xFF, 0xFF}, "success: -2"},
      {{0, 7, 2, 'o', 'k'}, "success: \"ok\""},
      {{1, 7, 12, 'I', 'N', 'V', 'A', 'L', 'I', 'D', '_', 'A', 'R', 'G', 'S', 0,
        0},
       "error INVALID_ARGS"},
      {{5}, "?"},
  };
  for (const auto& test : replies) {
    EXPECT_EQ(DescribeReply(test.reply.data(), test.reply.size()), test.text);
  }

  InputCallLog log;
  int changes = 0;
  log.SetOnChange([&] { ++changes; });
  for (size_t i = 0; i < InputCallLog::kKeptEntries + 2; ++i) {
    log.Record({"m" + std::to_string(i), "success"});
  }
  const auto recent = log.Recent();
  ASSERT_EQ(recent.size(), InputCallLog::kKeptEntries);
  EXPECT_EQ(recent.front().method, "m2");
  EXPECT_EQ(recent.back().method,
            "m" + std::to_string(InputCallLog::kKeptEntries + 1));
  EXPECT_EQ(changes, static_cast<int>(InputCallLog::kKeptEntries + 2));
}

}  // namespace
}  // namespace lanternquill::sim
