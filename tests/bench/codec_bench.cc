// The standard codec against two peers on the same logical payloads, each
// decoding into and encoding from its own dynamic tree: msgpack-cxx's
// msgpack::object (nodes in one zone per message) and nlohmann::json, a
// value-semantic document like EncodableValue, reading and writing the same
// msgpack bytes. msgpack packing static std::map and std::vector is kept as
// an extra encode row: it is not the same work, since the types are fixed at
// compile time. Also the decode of a 1 MiB double list against a plain memcpy
// of its bytes.

#include <benchmark/benchmark.h>

#define MSGPACK_NO_BOOST
#include <msgpack.hpp>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "codec/byte_buffer_streams.h"
#include "codec/encodable_value.h"
#include "codec/standard_codec_serializer.h"

namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

constexpr size_t kMiB = 1024 * 1024;
constexpr int kTreeDepth = 6;
constexpr int kTreeFanOut = 4;

// One payload in every representation.
struct Payload {
  std::string name;
  EncodableValue ours;
  // Packs msgpack's static equivalent of `ours` into a buffer.
  std::function<void(msgpack::sbuffer&)> pack_static;
};

// The peers' own trees of a payload, read from the msgpack bytes once: the
// same values as `ours`, in the peer's representation.
struct PeerTrees {
  std::vector<uint8_t> msgpack_bytes;
  // Move-only; shared so that a benchmark's arguments can be copied.
  std::shared_ptr<msgpack::object_handle> msgpack_tree;
  nlohmann::json json_tree;
};

PeerTrees MakePeerTrees(const Payload& payload) {
  msgpack::sbuffer buffer;
  payload.pack_static(buffer);
  PeerTrees trees;
  trees.msgpack_bytes.assign(buffer.data(), buffer.data() + buffer.size());
  // Without a reference function msgpack copies strings and binaries into
  // the tree's zone, so the tree owns all of its data, as ours does.
  trees.msgpack_tree = std::make_shared<msgpack::object_handle>(
      msgpack::unpack(buffer.data(), buffer.size()));
  trees.json_tree = nlohmann::json::from_msgpack(trees.msgpack_bytes);
  return trees;
}

// The nested list tree for msgpack: std::vector nested kTreeDepth deep.
template <int Depth>
struct PeerTree {
  using Type = std::vector<typename PeerTree<Depth - 1>::Type>;
  static Type Make() { return Type(kTreeFanOut, PeerTree<Depth - 1>::Make()); }
};
template <>
struct PeerTree<1> {
  using Type = std::vector<int32_t>;
  static Type Make() {
    Type leaves(kTreeFanOut);
    for (int i = 0; i < kTreeFanOut; ++i) {
      leaves[i] = i * 1000;
    }
    return leaves;
  }
};

EncodableValue OurTree(int depth) {
  EncodableList list;
  for (int i = 0; i < kTreeFanOut; ++i) {
    list.push_back(depth == 1 ? EncodableValue(int32_t{i * 1000})
                              : OurTree(depth - 1));
  }
  return EncodableValue(std::move(list));
}

std::vector<Payload> Payloads() {
  std::vector<Payload> payloads;

  // The arguments of "mouseMove", the call the UI sends most often.
  const std::map<std::string, double> input_map = {{"dx", 12.5}, {"dy", -3.0}};
  payloads.push_back(
      {"input_map", EncodableMap{{"dx", 12.5}, {"dy", -3.0}},
       [input_map](msgpack::sbuffer& out) { msgpack::pack(out, input_map); }});

  std::map<std::string, int32_t> peer_keys;
  EncodableMap our_keys;
  for (int32_t i = 0; i < 1000; ++i) {
    const std::string key = "key" + std::to_string(100000 + i);
    peer_keys[key] = i * 7919;
    our_keys.emplace(key, i * 7919);
  }
  payloads.push_back(
      {"map_1000_int32", EncodableValue(std::move(our_keys)),
       [peer_keys](msgpack::sbuffer& out) { msgpack::pack(out, peer_keys); }});

  const PeerTree<kTreeDepth>::Type peer_tree = PeerTree<kTreeDepth>::Make();
  payloads.push_back(
      {"list_tree_depth6", OurTree(kTreeDepth),
       [peer_tree](msgpack::sbuffer& out) { msgpack::pack(out, peer_tree); }});

  std::vector<double> doubles(kMiB / sizeof(double));
  for (size_t i = 0; i < doubles.size(); ++i) {
    doubles[i] = static_cast<double>(i) * 0.25 - 1000.0;
  }
  payloads.push_back(
      {"doubles_1MiB", EncodableValue(doubles),
       [doubles](msgpack::sbuffer& out) { msgpack::pack(out, doubles); }});

  std::vector<uint8_t> bytes(kMiB);
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<uint8_t>(i * 31);
  }
  // msgpack packs a byte vector as its bin type, the counterpart of ours.
  payloads.push_back(
      {"bytes_1MiB", EncodableValue(bytes),
       [bytes](msgpack::sbuffer& out) { msgpack::pack(out, bytes); }});
  return payloads;
}

std::vector<uint8_t> OurBytes(const EncodableValue& value) {
  std::vector<uint8_t> bytes;
  flutter::ByteBufferStreamWriter writer(&bytes);
  flutter::StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
  return bytes;
}

void DecodeOurs(benchmark::State& state, const Payload& payload) {
  const std::vector<uint8_t> bytes = OurBytes(payload.ours);
  const auto& serializer = flutter::StandardCodecSerializer::GetInstance();
  {
    flutter::ByteBufferStreamReader reader(bytes.data(), bytes.size());
    if (serializer.ReadValue(&reader) != payload.ours) {
      state.SkipWithError("the payload does not read back");
      return;
    }
  }
  for (auto _ : state) {
    flutter::ByteBufferStreamReader reader(bytes.data(), bytes.size());
    EncodableValue value = serializer.ReadValue(&reader);
    benchmark::DoNotOptimize(value);
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(bytes.size()));
}

void DecodeMsgpack(benchmark::State& state, const PeerTrees& trees) {
  const auto* data = reinterpret_cast<const char*>(trees.msgpack_bytes.data());
  for (auto _ : state) {
    msgpack::object_handle handle =
        msgpack::unpack(data, trees.msgpack_bytes.size());
    benchmark::DoNotOptimize(handle.get());
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(trees.msgpack_bytes.size()));
}

void DecodeJson(benchmark::State& state, const PeerTrees& trees) {
  for (auto _ : state) {
    nlohmann::json document = nlohmann::json::from_msgpack(trees.msgpack_bytes);
    benchmark::DoNotOptimize(document);
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(trees.msgpack_bytes.size()));
}

// Every encoder starts from the same room: msgpack's buffer begins with
// MSGPACK_SBUFFER_INIT_SIZE bytes and grows by doubling, as a vector does.
void EncodeOurs(benchmark::State& state, const Payload& payload) {
  const auto& serializer = flutter::StandardCodecSerializer::GetInstance();
  for (auto _ : state) {
    std::vector<uint8_t> bytes;
    bytes.reserve(MSGPACK_SBUFFER_INIT_SIZE);
    flutter::ByteBufferStreamWriter writer(&bytes);
    serializer.WriteValue(payload.ours, &writer);
    benchmark::DoNotOptimize(bytes.data());
  }
}

void EncodeMsgpack(benchmark::State& state, const PeerTrees& trees) {
  const msgpack::object& tree = trees.msgpack_tree->get();
  {
    msgpack::sbuffer buffer;
    msgpack::pack(buffer, tree);
    if (std::vector<uint8_t>(buffer.data(), buffer.data() + buffer.size()) !=
        trees.msgpack_bytes) {
      state.SkipWithError("the tree does not pack to the payload's bytes");
      return;
    }
  }
  for (auto _ : state) {
    msgpack::sbuffer buffer;
    msgpack::pack(buffer, tree);
    benchmark::DoNotOptimize(buffer.data());
  }
}

void EncodeMsgpackStatic(benchmark::State& state, const Payload& payload) {
  for (auto _ : state) {
    msgpack::sbuffer buffer;
    payload.pack_static(buffer);
    benchmark::DoNotOptimize(buffer.data());
  }
}

void EncodeJson(benchmark::State& state, const PeerTrees& trees) {
  for (auto _ : state) {
    std::vector<uint8_t> bytes;
    bytes.reserve(MSGPACK_SBUFFER_INIT_SIZE);
    nlohmann::json::to_msgpack(trees.json_tree, bytes);
    benchmark::DoNotOptimize(bytes.data());
  }
}

// The floor for decoding a double list: copying its bytes into a new vector
// of the same size, without zero-filling it first.
void CopyDoubles(benchmark::State& state, const Payload& payload) {
  const std::vector<uint8_t> bytes = OurBytes(payload.ours);
  const size_t count = std::get<std::vector<double>>(payload.ours).size();
  const size_t offset = bytes.size() - count * sizeof(double);
  for (auto _ : state) {
    std::unique_ptr<double[]> copy(new double[count]);
    std::memcpy(copy.get(), bytes.data() + offset, count * sizeof(double));
    benchmark::DoNotOptimize(copy.get());
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<int64_t>(count * sizeof(double)));
}

// Registered as the program starts; the benchmark library's main runs them.
const bool kRegistered = [] {
  static const std::vector<Payload> payloads = Payloads();
  static std::vector<PeerTrees> trees;
  trees.reserve(payloads.size());
  for (const Payload& payload : payloads) {
    trees.push_back(MakePeerTrees(payload));
  }
  for (size_t i = 0; i < payloads.size(); ++i) {
    const Payload& payload = payloads[i];
    const PeerTrees& peer = trees[i];
    const std::string& name = payload.name;
    benchmark::RegisterBenchmark(("decode/" + name + "/ours").c_str(),
                                 DecodeOurs, payload);
    benchmark::RegisterBenchmark(("decode/" + name + "/msgpack").c_str(),
                                 DecodeMsgpack, peer);
    benchmark::RegisterBenchmark(("decode/" + name + "/nlohmann").c_str(),
                                 DecodeJson, peer);
    benchmark::RegisterBenchmark(("encode/" + name + "/ours").c_str(),
                                 EncodeOurs, payload);
    benchmark::RegisterBenchmark(("encode/" + name + "/msgpack").c_str(),
                                 EncodeMsgpack, peer);
    benchmark::RegisterBenchmark(("encode/" + name + "/msgpack_static").c_str(),
                                 EncodeMsgpackStatic, payload);
    benchmark::RegisterBenchmark(("encode/" + name + "/nlohmann").c_str(),
                                 EncodeJson, peer);
    if (name == "doubles_1MiB") {
      benchmark::RegisterBenchmark("decode/doubles_1MiB/memcpy", CopyDoubles,
                                   payload);
    }
  }
  return true;
}();

}  // namespace
