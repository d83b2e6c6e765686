// Round trip: a value tree built from the fuzz input is written, read back
// equal (bit for bit, so NaNs compare by their payload), written again to the
// same bytes, and copies and moves of it behave as values.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "codec/byte_buffer_streams.h"
#include "codec/encodable_value.h"
#include "codec/standard_codec_serializer.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

// Limits that keep one input's tree small; the builder still reaches every
// alternative, nesting and alignment.
constexpr size_t kMaxNesting = 8;
constexpr size_t kMaxElements = 8;
constexpr size_t kMaxBytes = 64;

// Hands out the fuzz input piecewise; an exhausted input yields zeros.
class ByteSource {
 public:
  ByteSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t Byte() { return position_ < size_ ? data_[position_++] : 0; }

  template <typename T>
  T Scalar() {
    uint8_t bytes[sizeof(T)] = {};
    for (uint8_t& octet : bytes) {
      octet = Byte();
    }
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
  }

  size_t Count(size_t limit) { return Byte() % (limit + 1); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

// Map keys must be ordered consistently; a NaN compares neither less nor
// greater than anything, so keys never hold one (values may).
template <typename T>
T Number(ByteSource& source, bool in_key) {
  const T value = source.Scalar<T>();
  if constexpr (std::is_floating_point_v<T>) {
    if (in_key && std::isnan(value)) {
      return T(0);
    }
  }
  return value;
}

template <typename T>
std::vector<T> TypedList(ByteSource& source, bool in_key) {
  std::vector<T> list(source.Count(kMaxElements));
  for (T& element : list) {
    element = Number<T>(source, in_key);
  }
  return list;
}

EncodableValue Build(ByteSource& source, size_t depth, bool in_key) {
  // Custom values (index 12) are written as null and cannot round-trip.
  switch (source.Byte() % 14) {
    case 1:
      return EncodableValue((source.Byte() & 1) != 0);
    case 2:
      return EncodableValue(Number<int32_t>(source, in_key));
    case 3:
      return EncodableValue(Number<int64_t>(source, in_key));
    case 4:
      return EncodableValue(Number<double>(source, in_key));
    case 5: {
      std::string text(source.Count(kMaxBytes), '\0');
      for (char& c : text) {
        c = static_cast<char>(source.Byte());
      }
      return EncodableValue(std::move(text));
    }
    case 6:
      return EncodableValue(TypedList<uint8_t>(source, in_key));
    case 7:
      return EncodableValue(TypedList<int32_t>(source, in_key));
    case 8:
      return EncodableValue(TypedList<int64_t>(source, in_key));
    case 9:
      return EncodableValue(TypedList<double>(source, in_key));
    case 10: {
      if (depth >= kMaxNesting) {
        return EncodableValue();
      }
      EncodableList list(source.Count(kMaxElements));
      for (EncodableValue& element : list) {
        element = Build(source, depth + 1, in_key);
      }
      return EncodableValue(std::move(list));
    }
    case 11: {
      if (depth >= kMaxNesting) {
        return EncodableValue();
      }
      EncodableMap map;
      const size_t entries = source.Count(kMaxElements);
      for (size_t i = 0; i < entries; ++i) {
        EncodableValue key = Build(source, depth + 1, true);
        map.emplace(std::move(key), Build(source, depth + 1, in_key));
      }
      return EncodableValue(std::move(map));
    }
    case 13:
      return EncodableValue(TypedList<float>(source, in_key));
    default:
      return EncodableValue();
  }
}

// Floating-point values compare by their bits, so a NaN equals itself and
// -0.0 differs from 0.0.
template <typename T>
bool SameBits(T a, T b) {
  using Bits = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;
  static_assert(sizeof(Bits) == sizeof(T), "no integer of the same width");
  Bits x;
  Bits y;
  std::memcpy(&x, &a, sizeof(T));
  std::memcpy(&y, &b, sizeof(T));
  return x == y;
}

template <typename T>
bool SameBits(const std::vector<T>& a, const std::vector<T>& b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (!SameBits(a[i], b[i])) {
      return false;
    }
  }
  return true;
}

bool Identical(const EncodableValue& a, const EncodableValue& b) {
  if (a.index() != b.index()) {
    return false;
  }
  if (const auto* x = std::get_if<double>(&a)) {
    return SameBits(*x, std::get<double>(b));
  }
  if (const auto* x = std::get_if<std::vector<double>>(&a)) {
    return SameBits(*x, std::get<std::vector<double>>(b));
  }
  if (const auto* x = std::get_if<std::vector<float>>(&a)) {
    return SameBits(*x, std::get<std::vector<float>>(b));
  }
  if (const auto* x = std::get_if<EncodableList>(&a)) {
    const auto& y = std::get<EncodableList>(b);
    if (x->size() != y.size()) {
      return false;
    }
    for (size_t i = 0; i < x->size(); ++i) {
      if (!Identical((*x)[i], y[i])) {
        return false;
      }
    }
    return true;
  }
  if (const auto* x = std::get_if<EncodableMap>(&a)) {
    const auto& y = std::get<EncodableMap>(b);
    if (x->size() != y.size()) {
      return false;
    }
    for (auto i = x->begin(), j = y.begin(); i != x->end(); ++i, ++j) {
      if (!Identical(i->first, j->first) || !Identical(i->second, j->second)) {
        return false;
      }
    }
    return true;
  }
  return a == b;
}

// A moved-from string, typed list, list or map keeps its alternative and is
// empty; everything else keeps its value.
bool IsMovedFromStateOf(const EncodableValue& moved_from,
                        const EncodableValue& original) {
  if (moved_from.index() != original.index()) {
    return false;
  }
  return std::visit(
      [&original](const auto& held) {
        using T = std::decay_t<decltype(held)>;
        if constexpr (std::is_same_v<T, std::monostate> ||
                      std::is_arithmetic_v<T>) {
          return Identical(EncodableValue(held), original);
        } else if constexpr (std::is_same_v<T, flutter::CustomEncodableValue>) {
          return true;
        } else {
          return held.empty();
        }
      },
      static_cast<const EncodableValue::Variant&>(moved_from));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  lq_fuzz::SilenceDiagnostics();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ByteSource source(data, size);
  // Alignment counts from the message's first byte, so the value starts at
  // every offset modulo 8.
  const size_t offset = source.Byte() % 8;
  const EncodableValue value = Build(source, 0, false);
  const auto& serializer = flutter::StandardCodecSerializer::GetInstance();

  std::vector<uint8_t> bytes(offset, 0xAA);
  {
    flutter::ByteBufferStreamWriter writer(&bytes);
    serializer.WriteValue(value, &writer);
  }
  flutter::ByteBufferStreamReader reader(bytes.data(), bytes.size());
  std::vector<uint8_t> skipped(offset);
  reader.ReadBytes(skipped.data(), skipped.size());
  const EncodableValue read_back = serializer.ReadValue(&reader);
  lq_fuzz::Require(reader.location() == bytes.size(),
                   "the reader did not stop at the written value's end");
  lq_fuzz::Require(Identical(read_back, value), "a value read back differs");

  std::vector<uint8_t> rewritten(offset, 0xAA);
  {
    flutter::ByteBufferStreamWriter writer(&rewritten);
    serializer.WriteValue(read_back, &writer);
  }
  lq_fuzz::Require(rewritten == bytes, "a value read back writes other bytes");

  EncodableValue copy = value;
  lq_fuzz::Require(Identical(copy, value) && !(copy < value) && !(value < copy),
                   "a copy differs from its original");
  const EncodableValue moved = std::move(copy);
  lq_fuzz::Require(Identical(moved, value), "a move changed the value");
  // NOLINTNEXTLINE(bugprone-use-after-move): the moved-from state is checked.
  lq_fuzz::Require(IsMovedFromStateOf(copy, value),
                   "a moved-from value is not in its moved-from state");
  return 0;
}
