// Replies answered on worker threads while the UI thread goes on delivering
// messages; meant to run under ThreadSanitizer as well.

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/standard_method_codec.h"
#include "messaging/binary_messenger_impl.h"
#include "messaging/method_call.h"
#include "messaging/method_channel.h"
#include "messaging/method_result.h"
#include "tests/support/engine_double.h"

namespace flutter {
namespace {

using lq_test::EngineDouble;
using lq_test::RecordedCall;
using Result = std::unique_ptr<MethodResult<EncodableValue>>;

constexpr int kMessages = 300;
constexpr char kSendResponse[] = "FlutterDesktopMessengerSendResponse";

// Work handed from the UI thread to the worker; an empty item ends it.
template <typename Item>
class WorkQueue {
 public:
  void Push(Item item) {
    {
      std::lock_guard<std::mutex> guard(mutex_);
      items_.push_back(std::move(item));
    }
    ready_.notify_one();
  }

  Item Pop() {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return !items_.empty(); });
    Item item = std::move(items_.front());
    items_.pop_front();
    return item;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Item> items_;
};

TEST(MessagingThreadsTest, ResultsAnsweredOnAWorkerRaceNothingWithDelivery) {
  EngineDouble engine;
  BinaryMessengerImpl messenger(engine.messenger());
  const StandardMethodCodec& codec = StandardMethodCodec::GetInstance();
  WorkQueue<std::pair<int32_t, Result>> queue;
  MethodChannel(&messenger, "threads", &codec)
      .SetMethodCallHandler([&queue](const MethodCall<EncodableValue>& call,
                                     Result result) {
        queue.Push({std::get<int32_t>(*call.arguments()), std::move(result)});
      });
  std::thread worker([&queue] {
    for (;;) {
      std::pair<int32_t, Result> item = queue.Pop();
      if (!item.second) {
        return;
      }
      item.second->Success(EncodableValue(item.first * 2));
    }
  });

  std::map<const FlutterDesktopMessageResponseHandle*, int32_t> sent;
  for (int32_t i = 0; i < kMessages; ++i) {
    MethodCall<EncodableValue> call("double",
                                    std::make_unique<EncodableValue>(i));
    sent[engine.Deliver("threads", *codec.EncodeMethodCall(call))] = i;
  }
  queue.Push({0, nullptr});
  worker.join();

  std::vector<RecordedCall> responses = engine.calls_to(kSendResponse);
  ASSERT_EQ(responses.size(), static_cast<size_t>(kMessages));
  for (const RecordedCall& response : responses) {
    ASSERT_EQ(sent.count(response.response_handle), 1u);
    EncodableValue doubled(sent[response.response_handle] * 2);
    EXPECT_EQ(response.data, *codec.EncodeSuccessEnvelope(&doubled));
    sent.erase(response.response_handle);
  }
  EXPECT_EQ(engine.outstanding_references(), 0);
}

TEST(MessagingThreadsTest, CopiesOfOneReplyRacingOnTwoThreadsSendOnce) {
  EngineDouble engine;
  BinaryMessengerImpl messenger(engine.messenger());
  WorkQueue<ReplyCallback> first;
  WorkQueue<ReplyCallback> second;
  messenger.SetMessageHandler("race",
                              [&](const uint8_t*, size_t, ReplyCallback reply) {
                                second.Push(reply);
                                first.Push(std::move(reply));
                              });
  auto answer = [](WorkQueue<ReplyCallback>& queue) {
    return std::thread([&queue] {
      for (;;) {
        ReplyCallback reply = queue.Pop();
        if (!reply) {
          return;
        }
        const uint8_t octet = 1;
        reply(&octet, 1);
      }
    });
  };

  testing::internal::CaptureStderr();
  std::thread one = answer(first);
  std::thread two = answer(second);
  for (int i = 0; i < kMessages; ++i) {
    engine.Deliver("race", {});
  }
  first.Push(nullptr);
  second.Push(nullptr);
  one.join();
  two.join();

  std::string expected_lines;
  for (int i = 0; i < kMessages; ++i) {
    expected_lines +=
        "Error: Response can be set only once. Ignoring duplicate response.\n";
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), expected_lines);
  EXPECT_EQ(engine.calls_to(kSendResponse).size(),
            static_cast<size_t>(kMessages));
  EXPECT_EQ(engine.outstanding_references(), 0);
}

// The handler hands its result to a worker and then throws. Whichever comes
// first, the worker's answer or the channel's handling of the exception, the
// worker's answer is the only one, and no part of the reply is touched by
// both threads without a lock between them.
TEST(MessagingThreadsTest, AResultHandedOnBeforeAThrowIsAnsweredByItsNewOwner) {
  EngineDouble engine;
  BinaryMessengerImpl messenger(engine.messenger());
  const StandardMethodCodec& codec = StandardMethodCodec::GetInstance();
  WorkQueue<Result> queue;
  MethodChannel(&messenger, "throws", &codec)
      .SetMethodCallHandler(
          [&queue](const MethodCall<EncodableValue>&, Result result) {
            queue.Push(std::move(result));
            throw std::runtime_error("after handing on");
          });
  std::thread worker([&queue] {
    for (Result result = queue.Pop(); result; result = queue.Pop()) {
      result->Success();
    }
  });

  testing::internal::CaptureStderr();
  const std::vector<uint8_t> message =
      *codec.EncodeMethodCall(MethodCall<EncodableValue>("m", nullptr));
  for (int i = 0; i < kMessages; ++i) {
    engine.Deliver("throws", message);
  }
  queue.Push(nullptr);
  worker.join();

  std::string expected_lines;
  for (int i = 0; i < kMessages; ++i) {
    expected_lines +=
        "Exception in method call handler on channel throws: after handing "
        "on\n";
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), expected_lines);
  std::vector<RecordedCall> responses = engine.calls_to(kSendResponse);
  ASSERT_EQ(responses.size(), static_cast<size_t>(kMessages));
  for (const RecordedCall& response : responses) {
    EXPECT_EQ(response.data, *codec.EncodeSuccessEnvelope(nullptr));
  }
  EXPECT_EQ(engine.outstanding_references(), 0);
}

}  // namespace
}  // namespace flutter
