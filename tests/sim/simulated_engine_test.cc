// The portable engine through its exported functions, natively: messages
// are injected with FlutterDesktopEngine::DeliverFromUi on the calling thread
// and the UI thread's queue is run by hand.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/flutter_windows.h"
#include "sim/engine/engine_trace.h"
#include "sim/engine/platform.h"
#include "sim/engine/simulated_engine.h"
#include "sim/engine/simulated_engine_hooks.h"
#include "tests/sim/sim_test_support.h"

#ifndef _WIN32

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

using lq_sim_test::CreateEngine;
using lq_sim_test::ReadLines;

// A UI bundle folder beside the test executable and a fresh trace file.
class SimulatedEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name =
        std::string("lq_sim_bundle_") +
        ::testing::UnitTest::GetInstance()->current_test_info()->name();
    bundle_ = lanternquill::sim::ExecutableDirectory() / name;
    fs::create_directories(bundle_ / "flutter_assets");
    trace_ = bundle_ / "trace.jsonl";
    fs::remove(trace_);
    setenv("LANTERNQUILL_ENGINE_TRACE", trace_.c_str(), 1);
    relative_assets_ = (fs::path(name) / "flutter_assets").wstring();
  }
  void TearDown() override {
    if (engine_ != nullptr) FlutterDesktopEngineDestroy(engine_);
    lanternquill::sim::EngineTrace::Instance().Close();
    unsetenv("LANTERNQUILL_ENGINE_TRACE");
    fs::remove_all(bundle_);
  }

  // Trace lines written since the engine was created.
  std::vector<std::string> TraceAfterCreate() {
    std::vector<std::string> lines = ReadLines(trace_);
    if (!lines.empty()) lines.erase(lines.begin());
    return lines;
  }

  fs::path bundle_;
  fs::path trace_;
  std::wstring relative_assets_;
  FlutterDesktopEngineRef engine_ = nullptr;
};

struct Answerer {
  explicit Answerer(Bytes bytes) : answer(std::move(bytes)) {}
  Bytes answer;
  int calls = 0;
  Bytes received;
  static void Callback(FlutterDesktopMessengerRef messenger,
                       const FlutterDesktopMessage* message, void* user_data) {
    auto* self = static_cast<Answerer*>(user_data);
    ++self->calls;
    self->received.assign(message->message,
                          message->message + message->message_size);
    FlutterDesktopMessengerSendResponse(messenger, message->response_handle,
                                        self->answer.data(),
                                        self->answer.size());
  }
};

TEST_F(SimulatedEngineTest, TracesCreationAndResolvesAssetsAgainstExecutable) {
  FlutterDesktopEngineProperties properties{};
  properties.assets_path = relative_assets_.c_str();
  properties.icu_data_path = L"data\\icudtl.dat";
  properties.aot_library_path = L"data\\app.so";
  properties.entrypoint = nullptr;
  const char* argv[] = {"--verbose", "\xc3\xa4 \"q\""};
  properties.entrypoint_argc = 2;
  properties.entrypoint_argv = argv;
  engine_ = FlutterDesktopEngineCreate(&properties);
  ASSERT_NE(engine_, nullptr);
  EXPECT_EQ(engine_->assets_path(), bundle_ / "flutter_assets");
  EXPECT_EQ(engine_->arguments(),
            (std::vector<std::string>{"--verbose", "\xc3\xa4 \"q\""}));
  const std::string assets = fs::path(relative_assets_).u8string();
  EXPECT_EQ(
      ReadLines(trace_),
      std::vector<std::string>{
          "{\"call\": \"FlutterDesktopEngineCreate\", \"assets_path\": \"" +
          assets +
          "\", \"icu_data_path\": \"data\\\\icudtl.dat\", "
          "\"aot_library_path\": \"data\\\\app.so\", \"entrypoint\": "
          "null, \"arguments\": [\"--verbose\", \"\xc3\xa4 \\\"q\\\"\"], "
          "\"argc\": 2}"});
}

TEST_F(SimulatedEngineTest, RefusesAMissingAssetsFolderButTracesTheCall) {
  EXPECT_EQ(CreateEngine(L"no_such_folder/flutter_assets"), nullptr);
  EXPECT_EQ(
      ReadLines(trace_),
      std::vector<std::string>{
          "{\"call\": \"FlutterDesktopEngineCreate\", \"assets_path\": "
          "\"no_such_folder/flutter_assets\", \"icu_data_path\": "
          "\"data\\\\icudtl.dat\", \"aot_library_path\": "
          "\"data\\\\app.so\", \"entrypoint\": \"\", \"arguments\": null, "
          "\"argc\": 0}"});
}

TEST_F(SimulatedEngineTest, DeliversToTheChannelCallbackAndReturnsTheResponse) {
  engine_ = CreateEngine(relative_assets_.c_str());
  ASSERT_NE(engine_, nullptr);
  FlutterDesktopMessengerRef messenger =
      FlutterDesktopEngineGetMessenger(engine_);
  Answerer answerer(Bytes{0xCA, 0xFE});
  FlutterDesktopMessengerSetCallback(messenger, "echo", &Answerer::Callback,
                                     &answerer);

  Bytes response;
  int responses = 0;
  const auto sink = [&](const uint8_t* data, size_t size) {
    ++responses;
    response.assign(data, data + size);
  };
  EXPECT_EQ(engine_->DeliverFromUi("echo", {1, 2, 3}, sink),
            FlutterDesktopMessenger::Delivery::kDelivered);
  EXPECT_EQ(answerer.received, (Bytes{1, 2, 3}));
  EXPECT_EQ(responses, 1);
  EXPECT_EQ(response, (Bytes{0xCA, 0xFE}));
  EXPECT_EQ(engine_->DeliverFromUi("other", {1}, sink),
            FlutterDesktopMessenger::Delivery::kNoCallback);

  FlutterDesktopMessengerSetCallback(messenger, "echo", nullptr, nullptr);
  EXPECT_EQ(engine_->DeliverFromUi("echo", {1}, sink),
            FlutterDesktopMessenger::Delivery::kNoCallback);
  EXPECT_EQ(answerer.calls, 1);
  EXPECT_EQ(
      TraceAfterCreate(),
      (std::vector<std::string>{
          "{\"call\": \"FlutterDesktopEngineGetMessenger\"}",
          "{\"call\": \"FlutterDesktopMessengerSetCallback\", "
          "\"channel\": \"echo\", \"set\": true}",
          "{\"call\": \"MessageCallback\", \"channel\": \"echo\"}",
          "{\"call\": \"FlutterDesktopMessengerSendResponse\", \"size\": 2}",
          "{\"call\": \"FlutterDesktopMessengerSetCallback\", "
          "\"channel\": \"echo\", \"set\": false}"}));
}

TEST_F(SimulatedEngineTest, AcceptsAResponseFromAnotherThreadOnlyOnce) {
  engine_ = CreateEngine(relative_assets_.c_str());
  ASSERT_NE(engine_, nullptr);
  FlutterDesktopMessengerRef messenger =
      FlutterDesktopEngineGetMessenger(engine_);
  const FlutterDesktopMessageResponseHandle* kept = nullptr;
  FlutterDesktopMessengerSetCallback(
      messenger, "later",
      [](FlutterDesktopMessengerRef, const FlutterDesktopMessage* message,
         void* user_data) {
        *static_cast<const FlutterDesktopMessageResponseHandle**>(user_data) =
            message->response_handle;
      },
      &kept);
  int responses = 0;
  engine_->DeliverFromUi("later", {}, [&](const uint8_t* data, size_t size) {
    ++responses;
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0u);
  });
  ASSERT_NE(kept, nullptr);
  std::thread worker([&] {
    FlutterDesktopMessengerRef token = FlutterDesktopMessengerLock(messenger);
    FlutterDesktopMessengerSendResponse(messenger, kept, nullptr, 0);
    FlutterDesktopMessengerUnlock(token);
  });
  worker.join();
  EXPECT_EQ(responses, 1);

  testing::internal::CaptureStderr();
  FlutterDesktopMessengerSendResponse(messenger, kept, nullptr, 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "simulated engine: response handle unknown or already used\n");
  EXPECT_EQ(responses, 1);
}

TEST_F(SimulatedEngineTest, RepliesToSendsLaterAndEmptyExactlyOnce) {
  engine_ = CreateEngine(relative_assets_.c_str());
  ASSERT_NE(engine_, nullptr);
  FlutterDesktopMessengerRef messenger =
      FlutterDesktopEngineGetMessenger(engine_);
  struct Replies {
    int count = 0;
    size_t size = 99;
  } replies;
  const uint8_t message[] = {1};
  EXPECT_TRUE(FlutterDesktopMessengerSend(messenger, "out", message, 1));
  EXPECT_TRUE(FlutterDesktopMessengerSendWithReply(
      messenger, "out", message, 1,
      [](const uint8_t*, size_t size, void* user_data) {
        auto* self = static_cast<Replies*>(user_data);
        ++self->count;
        self->size = size;
      },
      &replies));
  EXPECT_EQ(replies.count, 0) << "the reply must not arrive inside the send";
  EXPECT_EQ(engine_->tasks().RunPending(), 1u);
  EXPECT_EQ(engine_->tasks().RunPending(), 0u);
  EXPECT_EQ(replies.count, 1);
  EXPECT_EQ(replies.size, 0u);
}

TEST_F(SimulatedEngineTest, KeepsAReferencedMessengerValidButUnavailable) {
  engine_ = CreateEngine(relative_assets_.c_str());
  ASSERT_NE(engine_, nullptr);
  FlutterDesktopMessengerRef messenger =
      FlutterDesktopEngineGetMessenger(engine_);
  EXPECT_EQ(FlutterDesktopMessengerAddRef(messenger), messenger);
  EXPECT_TRUE(FlutterDesktopMessengerIsAvailable(messenger));
  EXPECT_TRUE(FlutterDesktopEngineDestroy(engine_));
  engine_ = nullptr;
  // Still usable through the reference (AddressSanitizer would object).
  FlutterDesktopMessengerRef token = FlutterDesktopMessengerLock(messenger);
  EXPECT_EQ(token, messenger);
  EXPECT_FALSE(FlutterDesktopMessengerIsAvailable(messenger));
  FlutterDesktopMessengerUnlock(token);
  const uint8_t message[] = {1};
  EXPECT_FALSE(FlutterDesktopMessengerSend(messenger, "out", message, 1));
  FlutterDesktopMessengerRelease(messenger);
}

TEST_F(SimulatedEngineTest, GivesOneStableRegistrarPerPluginName) {
  engine_ = CreateEngine(relative_assets_.c_str());
  ASSERT_NE(engine_, nullptr);
  auto* first = FlutterDesktopEngineGetPluginRegistrar(engine_, "A");
  auto* second = FlutterDesktopEngineGetPluginRegistrar(engine_, "B");
  EXPECT_EQ(FlutterDesktopEngineGetPluginRegistrar(engine_, "A"), first);
  EXPECT_NE(first, second);
  LanternquillSimTracePluginRegistration("BRegisterWithRegistrar", second);
  LanternquillSimTracePluginRegistration(
      "Unknown", reinterpret_cast<FlutterDesktopPluginRegistrarRef>(&bundle_));
  EXPECT_EQ(
      TraceAfterCreate(),
      (std::vector<std::string>{
          "{\"call\": \"FlutterDesktopEngineGetPluginRegistrar\", \"plugin\": "
          "\"A\", \"registrar\": 1}",
          "{\"call\": \"FlutterDesktopEngineGetPluginRegistrar\", \"plugin\": "
          "\"B\", \"registrar\": 2}",
          "{\"call\": \"FlutterDesktopEngineGetPluginRegistrar\", \"plugin\": "
          "\"A\", \"registrar\": 1}",
          "{\"call\": \"BRegisterWithRegistrar\", \"registrar\": 2}",
          "{\"call\": \"Unknown\", \"registrar\": null}"}));
}

TEST_F(SimulatedEngineTest, RunsTheNextFrameCallbackOnceAfterAFrame) {
  engine_ = CreateEngine(relative_assets_.c_str());
  ASSERT_NE(engine_, nullptr);
  int frames = 0;
  FlutterDesktopEngineSetNextFrameCallback(
      engine_, [](void* user_data) { ++*static_cast<int*>(user_data); },
      &frames);
  engine_->tasks().RunPending();
  EXPECT_EQ(frames, 0) << "no frame painted yet";
  engine_->FramePainted();
  EXPECT_EQ(frames, 0) << "posted, not run inside the paint";
  engine_->tasks().RunPending();
  engine_->FramePainted();
  engine_->tasks().RunPending();
  EXPECT_EQ(frames, 1);
  EXPECT_EQ(TraceAfterCreate().back(), "{\"call\": \"NextFrameCallback\"}");
}

TEST_F(SimulatedEngineTest, LogsInputChannelCallsWithTheirReplies) {
  engine_ = CreateEngine(relative_assets_.c_str());
  ASSERT_NE(engine_, nullptr);
  Answerer answerer(Bytes{0, 0});
  FlutterDesktopMessengerSetCallback(FlutterDesktopEngineGetMessenger(engine_),
                                     "com.lanternquill/input",
                                     &Answerer::Callback, &answerer);
  engine_->DeliverFromUi("com.lanternquill/input",
                         {7, 5, 'c', 'l', 'i', 'c', 'k', 0}, nullptr);
  const auto recent = engine_->input_log()->Recent();
  ASSERT_EQ(recent.size(), 1u);
  EXPECT_EQ(recent[0].method, "click");
  EXPECT_EQ(recent[0].reply, "success");
}

}  // namespace

#endif  // !_WIN32
