// The channel path of one input call: encoded call bytes in through the
// engine's message callback, BinaryMessengerImpl, MethodChannel and
// HandleInputMethodCall with a platform that does nothing, reply bytes out
// through the engine. The platform's own work and the pauses are excluded.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/standard_method_codec.h"
#include "input/input_method_handler.h"
#include "input/null_input_platform.h"
#include "messaging/binary_messenger_impl.h"
#include "messaging/method_call.h"
#include "messaging/method_channel.h"
#include "tests/bench/bench_payloads.h"
#include "tests/messaging/recording_engine.h"

namespace {

using flutter::EncodableValue;

constexpr char kInputChannel[] = "com.lanternquill/input";
// The recording engine keeps every call it sees; dropping them now and then
// keeps its memory flat without pausing the clock for each message.
constexpr int64_t kClearEvery = 1024;

void ChannelCall(benchmark::State& state, std::vector<uint8_t> message) {
  lq_test::RecordingEngine engine;
  flutter::BinaryMessengerImpl messenger(engine.messenger());
  lanternquill::NullInputPlatform platform;
  flutter::MethodChannel channel(&messenger, kInputChannel,
                                 &flutter::StandardMethodCodec::GetInstance());
  channel.SetMethodCallHandler(
      [&platform](
          const flutter::MethodCall<EncodableValue>& call,
          std::unique_ptr<flutter::MethodResult<EncodableValue>> result) {
        lanternquill::HandleInputMethodCall(call, std::move(result), platform);
      });

  // One checked message first: the path must answer, or there is nothing to
  // measure.
  engine.ClearCalls();
  engine.Deliver(kInputChannel, message);
  const auto responses = engine.calls_to("FlutterDesktopMessengerSendResponse");
  if (responses.size() != 1 || !responses[0].data ||
      responses[0].data->empty() || (*responses[0].data)[0] != 0) {
    state.SkipWithError("the call was not answered with a success envelope");
    return;
  }

  int64_t since_clear = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(engine.Deliver(kInputChannel, message));
    if (++since_clear == kClearEvery) {
      engine.ClearCalls();
      since_clear = 0;
    }
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

int main(int argc, char** argv) {
  for (const lq_bench::InputCall& call : lq_bench::InputCalls()) {
    benchmark::RegisterBenchmark(("channel/" + call.method).c_str(),
                                 ChannelCall, call.bytes);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
