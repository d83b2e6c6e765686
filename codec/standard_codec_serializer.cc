#include "codec/standard_codec_serializer.h"

#include <cstring>
#include <limits>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "codec/diagnostics.h"

// Typed lists travel as single blocks in their in-memory form, which is the
// wire's little-endian form only on a little-endian machine.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "The standard codec moves typed lists as little-endian blocks"
#endif

namespace flutter {
namespace {

// The type bytes of the wire format.
enum WireType : uint8_t {
  kNull = 0,
  kTrue = 1,
  kFalse = 2,
  kInt32 = 3,
  kInt64 = 4,
  kAlternateString = 5,
  kFloat64 = 6,
  kString = 7,
  kUInt8List = 8,
  kInt32List = 9,
  kInt64List = 10,
  kFloat64List = 11,
  kList = 12,
  kMap = 13,
  kFloat32List = 14,
};

// Lists and maps nested deeper than this are refused, so that a message of
// nothing but list headers cannot exhaust the stack through recursion.
constexpr uint32_t kMaxNestingDepth = 64;

// Scalars from and to explicit little-endian bytes; a failed read leaves the
// bytes zero, so the value is 0.
template <typename T>
T ReadScalar(ByteStreamReader* stream) {
  static_assert(sizeof(T) <= sizeof(uint64_t), "scalar too wide");
  uint8_t bytes[sizeof(T)] = {};
  stream->ReadBytes(bytes, sizeof(T));
  uint64_t bits = 0;
  for (size_t i = 0; i < sizeof(T); ++i) {
    bits |= static_cast<uint64_t>(bytes[i]) << (8 * i);
  }
  if constexpr (sizeof(T) == 2) {
    return static_cast<T>(bits);
  } else {
    // Same-width unsigned bits copied into the signed or floating type.
    using Bits = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;
    const Bits narrow = static_cast<Bits>(bits);
    T value;
    std::memcpy(&value, &narrow, sizeof(T));
    return value;
  }
}

template <typename T>
void WriteScalar(T value, ByteStreamWriter* stream) {
  static_assert(sizeof(T) <= sizeof(uint64_t), "scalar too wide");
  using Bits = std::conditional_t<
      sizeof(T) == 2, uint16_t,
      std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>>;
  Bits bits;
  std::memcpy(&bits, &value, sizeof(T));
  uint8_t bytes[sizeof(T)];
  for (size_t i = 0; i < sizeof(T); ++i) {
    bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
  }
  stream->WriteBytes(bytes, sizeof(T));
}

// A declared count or nesting the message cannot honestly hold counts as one
// failed read; the caller yields an empty value of the declared alternative.
EncodableValue RefuseRead(EncodableValue empty) {
  WriteDiagnosticLine(kInvalidReadLine);
  return empty;
}

// Message bytes not already needed by the values that enclosing lists and
// maps have declared: each of those needs at least its type byte, so a new
// count must fit in what is left over. This keeps the values a message can
// make the decoder hold, across all nesting, below the message's size.
size_t UnpromisedBytes(const ByteStreamReader& stream) {
  const size_t remaining = stream.RemainingBytes();
  const size_t promised = stream.decode_state().promised_values;
  return promised >= remaining ? 0 : remaining - promised;
}

EncodableValue ReadString(const StandardCodecSerializer& serializer,
                          ByteStreamReader* stream) {
  const uint32_t size = serializer.ReadSize(stream);
  if (size > stream->RemainingBytes()) {
    return RefuseRead(std::string());
  }
  std::string string(size, '\0');
  stream->ReadBytes(reinterpret_cast<uint8_t*>(string.data()), size);
  return EncodableValue(std::move(string));
}

template <typename T>
EncodableValue ReadTypedList(const StandardCodecSerializer& serializer,
                             ByteStreamReader* stream) {
  const uint32_t count = serializer.ReadSize(stream);
  // The reader aligns even for no elements, and only then are the remaining
  // bytes those that can hold the elements.
  if (sizeof(T) > 1) {
    stream->ReadAlignment(static_cast<uint8_t>(sizeof(T)));
  }
  if (count > stream->RemainingBytes() / sizeof(T)) {
    return RefuseRead(std::vector<T>());
  }
  std::vector<T> list(count);
  stream->ReadBytes(reinterpret_cast<uint8_t*>(list.data()),
                    static_cast<size_t>(count) * sizeof(T));
  return EncodableValue(std::move(list));
}

// Past the nesting limit the rest of the message is given up: the value
// becomes null and every later read fails as a read past the end.
EncodableValue RefuseNesting(ByteStreamReader* stream) {
  WriteDiagnosticLine(kInvalidReadLine);
  stream->SkipToEnd();
  return EncodableValue();
}

EncodableValue ReadList(const StandardCodecSerializer& serializer,
                        ByteStreamReader* stream) {
  ByteStreamReader::DecodeState& state = stream->decode_state();
  if (state.nesting_depth >= kMaxNestingDepth) {
    return RefuseNesting(stream);
  }
  const uint32_t count = serializer.ReadSize(stream);
  if (count > UnpromisedBytes(*stream)) {
    return RefuseRead(EncodableList());
  }
  // The check above bounds the sum of all counts reserved during one decode
  // by the message's size, so the whole count can be reserved at once.
  EncodableList list;
  list.reserve(count);
  state.promised_values += count;
  ++state.nesting_depth;
  for (uint32_t i = 0; i < count; ++i) {
    --state.promised_values;
    list.push_back(serializer.ReadValue(stream));
  }
  --state.nesting_depth;
  return EncodableValue(std::move(list));
}

EncodableValue ReadMap(const StandardCodecSerializer& serializer,
                       ByteStreamReader* stream) {
  ByteStreamReader::DecodeState& state = stream->decode_state();
  if (state.nesting_depth >= kMaxNestingDepth) {
    return RefuseNesting(stream);
  }
  const uint32_t count = serializer.ReadSize(stream);
  // Every entry is a key and a value.
  if (count > UnpromisedBytes(*stream) / 2) {
    return RefuseRead(EncodableMap());
  }
  // As for lists, the check above bounds what may be reserved.
  EncodableMap::Entries entries;
  entries.reserve(count);
  state.promised_values += 2 * static_cast<size_t>(count);
  ++state.nesting_depth;
  for (uint32_t i = 0; i < count; ++i) {
    --state.promised_values;
    EncodableValue key = serializer.ReadValue(stream);
    --state.promised_values;
    entries.emplace_back(std::move(key), serializer.ReadValue(stream));
  }
  --state.nesting_depth;
  // Sorts entries that arrived out of key order; of equal keys the first
  // wins.
  return EncodableValue(EncodableMap::FromEntries(std::move(entries)));
}

void WriteString(const std::string& string,
                 const StandardCodecSerializer& serializer,
                 ByteStreamWriter* stream) {
  stream->WriteByte(kString);
  serializer.WriteSize(string.size(), stream);
  if (!string.empty()) {
    stream->WriteBytes(reinterpret_cast<const uint8_t*>(string.data()),
                       string.size());
  }
}

// The writer aligns also for an empty list, since the reader always skips to
// the boundary after the count; otherwise a value after an empty list would
// read out of step.
template <typename T>
void WriteTypedList(uint8_t type, const std::vector<T>& list,
                    const StandardCodecSerializer& serializer,
                    ByteStreamWriter* stream) {
  stream->WriteByte(type);
  serializer.WriteSize(list.size(), stream);
  if (sizeof(T) > 1) {
    stream->WriteAlignment(static_cast<uint8_t>(sizeof(T)));
  }
  if (!list.empty()) {
    stream->WriteBytes(reinterpret_cast<const uint8_t*>(list.data()),
                       list.size() * sizeof(T));
  }
}

}  // namespace

const StandardCodecSerializer& StandardCodecSerializer::GetInstance() {
  static const StandardCodecSerializer instance;
  return instance;
}

EncodableValue StandardCodecSerializer::ReadValue(
    ByteStreamReader* stream) const {
  const uint8_t type = stream->ReadByte();
  return ReadValueOfType(type, stream);
}

void StandardCodecSerializer::WriteValue(const EncodableValue& value,
                                         ByteStreamWriter* stream) const {
  switch (value.index()) {
    case 0:
      stream->WriteByte(kNull);
      return;
    case 1:
      stream->WriteByte(std::get<bool>(value) ? kTrue : kFalse);
      return;
    case 2:
      stream->WriteByte(kInt32);
      WriteScalar(std::get<int32_t>(value), stream);
      return;
    case 3:
      stream->WriteByte(kInt64);
      WriteScalar(std::get<int64_t>(value), stream);
      return;
    case 4:
      stream->WriteByte(kFloat64);
      stream->WriteAlignment(8);
      WriteScalar(std::get<double>(value), stream);
      return;
    case 5:
      WriteString(std::get<std::string>(value), *this, stream);
      return;
    case 6:
      WriteTypedList(kUInt8List, std::get<std::vector<uint8_t>>(value), *this,
                     stream);
      return;
    case 7:
      WriteTypedList(kInt32List, std::get<std::vector<int32_t>>(value), *this,
                     stream);
      return;
    case 8:
      WriteTypedList(kInt64List, std::get<std::vector<int64_t>>(value), *this,
                     stream);
      return;
    case 9:
      WriteTypedList(kFloat64List, std::get<std::vector<double>>(value), *this,
                     stream);
      return;
    case 10: {
      const auto& list = std::get<EncodableList>(value);
      stream->WriteByte(kList);
      WriteSize(list.size(), stream);
      for (const EncodableValue& element : list) {
        WriteValue(element, stream);
      }
      return;
    }
    case 11: {
      const auto& map = std::get<EncodableMap>(value);
      stream->WriteByte(kMap);
      WriteSize(map.size(), stream);
      for (const auto& [key, entry_value] : map) {
        WriteValue(key, stream);
        WriteValue(entry_value, stream);
      }
      return;
    }
    case 12:
      // Written as null so the message stays readable by the other side.
      stream->WriteByte(kNull);
      WriteDiagnosticLine(
          "Unhandled custom type in StandardCodecSerializer::WriteValue. "
          "Custom types require codec extensions.");
      return;
    case 13:
      WriteTypedList(kFloat32List, std::get<std::vector<float>>(value), *this,
                     stream);
      return;
    default:
      return;
  }
}

EncodableValue StandardCodecSerializer::ReadValueOfType(
    uint8_t type, ByteStreamReader* stream) const {
  switch (type) {
    case kNull:
      return EncodableValue();
    case kTrue:
      return EncodableValue(true);
    case kFalse:
      return EncodableValue(false);
    case kInt32:
      return EncodableValue(ReadScalar<int32_t>(stream));
    case kInt64:
      return EncodableValue(ReadScalar<int64_t>(stream));
    case kFloat64:
      stream->ReadAlignment(8);
      return EncodableValue(ReadScalar<double>(stream));
    case kAlternateString:
    case kString:
      return ReadString(*this, stream);
    case kUInt8List:
      return ReadTypedList<uint8_t>(*this, stream);
    case kInt32List:
      return ReadTypedList<int32_t>(*this, stream);
    case kInt64List:
      return ReadTypedList<int64_t>(*this, stream);
    case kFloat64List:
      return ReadTypedList<double>(*this, stream);
    case kList:
      return ReadList(*this, stream);
    case kMap:
      return ReadMap(*this, stream);
    case kFloat32List:
      return ReadTypedList<float>(*this, stream);
    default:
      WriteDiagnosticLine(
          "Unknown type in StandardCodecSerializer::ReadValueOfType: " +
          std::to_string(type));
      return EncodableValue();
  }
}

uint32_t StandardCodecSerializer::ReadSize(ByteStreamReader* stream) const {
  const uint8_t first = stream->ReadByte();
  if (first < 254) {
    return first;
  }
  if (first == 254) {
    return ReadScalar<uint16_t>(stream);
  }
  return ReadScalar<uint32_t>(stream);
}

void StandardCodecSerializer::WriteSize(size_t size,
                                        ByteStreamWriter* stream) const {
  if (size < 254) {
    stream->WriteByte(static_cast<uint8_t>(size));
  } else if (size <= std::numeric_limits<uint16_t>::max()) {
    stream->WriteByte(254);
    WriteScalar(static_cast<uint16_t>(size), stream);
  } else {
    stream->WriteByte(255);
    WriteScalar(static_cast<uint32_t>(size), stream);
  }
}

}  // namespace flutter
