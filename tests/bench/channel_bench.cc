// The channel path of one input call against msgpack-cxx decoding the same
// call. The channel path: encoded call bytes in through the engine's message
// callback, BinaryMessengerImpl, MethodChannel and HandleInputMethodCall with
// a platform that does nothing, reply bytes out through the engine. The
// engine is a double that only answers, so the host's own work is what is
// measured, heap allocations included. The peer: msgpack::unpack of the
// method name and the arguments as one msgpack array, in the same program
// run, so that a busy machine slows both sides alike.

#include <benchmark/benchmark.h>

#define MSGPACK_NO_BOOST
#include <msgpack.hpp>

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "codec/encodable_value.h"
#include "input/recording_input_platform.h"
#include "messaging/binary_messenger_impl.h"
#include "tests/bench/bench_payloads.h"
#include "tests/support/engine_double.h"
#include "tests/support/input_channel.h"
#include "tests/support/replaced_new.h"

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

// Heap allocations per iteration of the loop it is built around.
class AllocationCount {
 public:
  AllocationCount() : start_(lq_test::g_allocations) {}
  benchmark::Counter PerIteration() const {
    return benchmark::Counter(
        static_cast<double>(lq_test::g_allocations - start_),
        benchmark::Counter::kAvgIterations);
  }

 private:
  uint64_t start_;
};

void ChannelCall(benchmark::State& state, std::vector<uint8_t> message) {
  lq_test::EngineDouble engine({/*record_calls=*/false});
  {
    flutter::BinaryMessengerImpl messenger(engine.messenger());
    lanternquill::RecordingInputPlatform platform({/*record_calls=*/false});
    lq_test::ServeInputChannel(&messenger, platform);

    // One checked message first: the path must answer with a success
    // envelope and give back its engine reference, or there is nothing to
    // measure.
    if (!engine.Deliver(lq_test::kInputChannel, message) ||
        engine.responses() != 1 || engine.last_response_first_byte() != 0 ||
        engine.outstanding_references() != 0) {
      state.SkipWithError("the call was not answered with a success envelope");
      return;
    }

    const AllocationCount allocations;
    for (auto _ : state) {
      benchmark::DoNotOptimize(engine.Deliver(lq_test::kInputChannel, message));
    }
    state.counters["allocs"] = allocations.PerIteration();
  }
  if (engine.responses() != 1 + static_cast<uint64_t>(state.iterations())) {
    state.SkipWithError("a call went unanswered");
  }
}

// The arguments in msgpack's own types: maps, strings, float64 and integers.
void PackValue(const EncodableValue& value,
               msgpack::packer<msgpack::sbuffer>& packer) {
  if (value.IsNull()) {
    packer.pack_nil();
  } else if (const auto* b = std::get_if<bool>(&value)) {
    packer.pack(*b);
  } else if (const auto* i = std::get_if<int32_t>(&value)) {
    packer.pack(*i);
  } else if (const auto* l = std::get_if<int64_t>(&value)) {
    packer.pack(*l);
  } else if (const auto* d = std::get_if<double>(&value)) {
    packer.pack_double(*d);
  } else if (const auto* s = std::get_if<std::string>(&value)) {
    packer.pack(*s);
  } else if (const auto* map = std::get_if<EncodableMap>(&value)) {
    packer.pack_map(static_cast<uint32_t>(map->size()));
    for (const auto& [key, entry] : *map) {
      PackValue(key, packer);
      PackValue(entry, packer);
    }
  } else {
    packer.pack_nil();
  }
}

std::vector<uint8_t> MsgpackCall(const lq_bench::InputCall& call) {
  msgpack::sbuffer buffer;
  msgpack::packer<msgpack::sbuffer> packer(buffer);
  packer.pack_array(2);
  packer.pack(call.method);
  PackValue(call.arguments, packer);
  return std::vector<uint8_t>(buffer.data(), buffer.data() + buffer.size());
}

void MsgpackDecode(benchmark::State& state, std::vector<uint8_t> bytes) {
  const auto* data = reinterpret_cast<const char*>(bytes.data());
  {
    const msgpack::object_handle handle = msgpack::unpack(data, bytes.size());
    if (handle.get().type != msgpack::type::ARRAY ||
        handle.get().via.array.size != 2) {
      state.SkipWithError("the call does not unpack");
      return;
    }
  }
  const AllocationCount allocations;
  for (auto _ : state) {
    msgpack::object_handle handle = msgpack::unpack(data, bytes.size());
    benchmark::DoNotOptimize(handle.get());
  }
  state.counters["allocs"] = allocations.PerIteration();
}

// Registered as the program starts; the benchmark library's main runs them.
const bool kRegistered = [] {
  for (const lq_bench::InputCall& call : lq_bench::InputCalls()) {
    benchmark::RegisterBenchmark(("channel/" + call.method).c_str(),
                                 ChannelCall, call.bytes);
    benchmark::RegisterBenchmark(("msgpack/" + call.method).c_str(),
                                 MsgpackDecode, MsgpackCall(call));
  }
  return true;
}();

}  // namespace
