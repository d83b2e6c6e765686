#include "codec/standard_codec_serializer.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "codec/byte_buffer_streams.h"
#include "codec/diagnostics.h"

// Scalars and typed lists travel in their in-memory form, which is the wire's
// little-endian form only on a little-endian machine.
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

// Scalars from and to explicit little-endian bytes. The machine is
// little-endian (checked above), so the bytes are the value's own, and one
// memcpy compiles to one load or store.
template <typename T>
T LoadLittleEndian(const uint8_t* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof(T));
  return value;
}

template <typename T>
void StoreLittleEndian(T value, uint8_t* bytes) {
  std::memcpy(bytes, &value, sizeof(T));
}

// A failed read leaves the bytes zero, so the value is 0.
template <typename T, typename Reader>
T ReadScalar(Reader* stream) {
  uint8_t bytes[sizeof(T)] = {};
  stream->ReadBytes(bytes, sizeof(T));
  return LoadLittleEndian<T>(bytes);
}

// A scalar as its little-endian bytes, in one write.
template <typename T, typename Writer>
void WriteScalar(T value, Writer* stream) {
  uint8_t bytes[sizeof(T)];
  StoreLittleEndian(value, bytes);
  stream->WriteBytes(bytes, sizeof(bytes));
}

// The size encoding: one byte below 254, else 254 and a u16, else 255 and a
// u32.
template <typename Writer>
void WriteSizeTo(size_t size, Writer* stream) {
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

template <typename Reader>
uint32_t ReadSizeFrom(Reader* stream) {
  const uint8_t first = stream->ReadByte();
  if (first < 254) {
    return first;
  }
  if (first == 254) {
    return ReadScalar<uint16_t>(stream);
  }
  return ReadScalar<uint32_t>(stream);
}

// The default serializer working on a buffer stream is the common case. Then
// every nested value would come back to this same code through the virtual
// calls, so it is read or written directly, and the stream's calls go to the
// final buffer class, inline. Any other serializer or stream takes the
// virtual path for every value and every byte.
template <typename BufferStream, typename Stream>
BufferStream* AsDefaultOnBuffer(const StandardCodecSerializer& serializer,
                                Stream* stream) {
  const bool direct = typeid(serializer) == typeid(StandardCodecSerializer) &&
                      typeid(*stream) == typeid(BufferStream);
  return direct ? static_cast<BufferStream*>(stream) : nullptr;
}

// Where the default serializer writes into a buffer: appends to the vector
// at the cost of a pointer bump per write. The vector is grown ahead in
// steps, zero-filled once, and cut back to what was written when the sink
// goes, so that small writes need neither vector::insert nor a zero-filling
// resize each. Its writes are those of ByteStreamWriter, inline, so the one
// template of each wire rule serves both.
class VectorSink {
 public:
  explicit VectorSink(std::vector<uint8_t>* bytes)
      : bytes_(bytes), size_(bytes->size()) {
    TakeRoom();
  }
  ~VectorSink() { bytes_->resize(size_); }

  VectorSink(const VectorSink&) = delete;
  VectorSink& operator=(const VectorSink&) = delete;

  void WriteByte(uint8_t value) { *Extend(1) = value; }

  void WriteBytes(const uint8_t* bytes, size_t length) {
    if (length >= kLargeWrite) {
      // Copied once, without zero-filling room for it first.
      bytes_->resize(size_);
      bytes_->insert(bytes_->end(), bytes, bytes + length);
      size_ += length;
      TakeRoom();
    } else if (length != 0) {
      std::memcpy(Extend(length), bytes, length);
    }
  }

  // The room ahead is zeros until written, so padding is only counted.
  void WriteAlignment(uint8_t alignment) {
    const size_t misalignment = size_ % alignment;
    if (misalignment != 0) {
      Extend(alignment - misalignment);
    }
  }

 private:
  // Counts the next `length` bytes as written and gives where they go; the
  // caller stores them there.
  uint8_t* Extend(size_t length) {
    if (room_ - size_ < length) {
      Grow(length);
    }
    uint8_t* at = data_ + size_;
    size_ += length;
    return at;
  }

  static constexpr size_t kLargeWrite = 4096;
  static constexpr size_t kMinStep = 64;
  static constexpr size_t kMaxStep = 4096;

  void Grow(size_t length) {
    // Steps grow with the message but stay small, since room left over is
    // zero-filled for nothing; the vector's own capacity grows
    // geometrically. A step never goes past capacity the vector already
    // has (a message reserved ahead, say) when the write fits in it: that
    // would reallocate and move the bytes for nothing.
    const size_t step = std::min(std::max(size_, kMinStep), kMaxStep);
    size_t size = size_ + std::max(length, step);
    const size_t capacity = bytes_->capacity();
    if (length <= capacity - size_ && size > capacity) {
      size = capacity;
    }
    bytes_->resize(size);
    TakeRoom();
  }

  // Every write checks against the room, so where it lies is kept here
  // rather than read from the vector each time.
  void TakeRoom() {
    data_ = bytes_->data();
    room_ = bytes_->size();
  }

  std::vector<uint8_t>* bytes_;
  // Bytes written so far; the vector may be longer until the sink goes.
  size_t size_;
  // The vector's storage and size as of its last change.
  uint8_t* data_ = nullptr;
  size_t room_ = 0;
};

template <typename Stream>
constexpr bool kIsDirect = std::is_same_v<Stream, ByteBufferStreamReader> ||
                           std::is_same_v<Stream, VectorSink>;

// Values are read into the place where they end up (a list's element, a map
// entry's key or value, the caller's value), which holds null until then:
// building each value apart and moving it in would cost a move and a
// destruction of every value, and a copy of every short string.

// A declared count or nesting the message cannot honestly hold counts as one
// failed read; the value becomes an empty one of the declared alternative.
template <typename T>
void RefuseRead(EncodableValue* out) {
  WriteDiagnosticLine(kInvalidReadLine);
  out->emplace<T>();
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

template <typename Reader>
void ReadPayload(const StandardCodecSerializer& serializer, uint8_t type,
                 Reader* stream, EncodableValue* out);

// An element, key or value of a list or map: through the virtual calls, or
// directly where those would land here anyway.
template <typename Reader>
void ReadNested(const StandardCodecSerializer& serializer, Reader* stream,
                EncodableValue* out) {
  if constexpr (kIsDirect<Reader>) {
    const uint8_t type = stream->ReadByte();
    ReadPayload(serializer, type, stream, out);
  } else {
    *out = serializer.ReadValue(stream);
  }
}

// A string or typed list of `count` elements once the count has been checked
// against the remaining bytes. Bytes are copied straight from a buffer
// message; wider elements need a zero-filled vector first (std::vector has no
// way to grow without initialising its elements), then one block copy.
template <typename Container, typename Reader>
void ReadBlock(uint32_t count, Reader* stream, EncodableValue* out) {
  using T = typename Container::value_type;
  const size_t length = static_cast<size_t>(count) * sizeof(T);
  // Never emplaced from the arguments of a construction that may throw:
  // std::variant::emplace would then build a whole temporary variant and
  // move-assign it, copying a short string twice more. Bytes go into an empty
  // container put in the value; a zero-filled block is made apart (its
  // constructor fills far faster than assign does) and moved in.
  if constexpr (kIsDirect<Reader> && sizeof(T) == 1) {
    if (const uint8_t* bytes = stream->ReadInPlace(length)) {
      const auto* first = reinterpret_cast<const T*>(bytes);
      out->emplace<Container>().assign(first, first + length);
      return;
    }
    out->emplace<Container>(Container(count, T()));
  } else {
    Container block(count, T());
    stream->ReadBytes(reinterpret_cast<uint8_t*>(block.data()), length);
    out->emplace<Container>(std::move(block));
  }
}

template <typename Reader>
void ReadString(Reader* stream, EncodableValue* out) {
  const uint32_t size = ReadSizeFrom(stream);
  if (size > stream->RemainingBytes()) {
    RefuseRead<std::string>(out);
    return;
  }
  ReadBlock<std::string>(size, stream, out);
}

template <typename T, typename Reader>
void ReadTypedList(Reader* stream, EncodableValue* out) {
  const uint32_t count = ReadSizeFrom(stream);
  // The reader aligns even for no elements, and only then are the remaining
  // bytes those that can hold the elements.
  if constexpr (sizeof(T) > 1) {
    stream->ReadAlignment(static_cast<uint8_t>(sizeof(T)));
  }
  if (count > stream->RemainingBytes() / sizeof(T)) {
    RefuseRead<std::vector<T>>(out);
    return;
  }
  ReadBlock<std::vector<T>>(count, stream, out);
}

// The element count of a list or map whose elements hold `kValuesPerElement`
// values each; nothing, after one failed read, when the nesting limit or the
// bytes left refuse it. Past the nesting limit the rest of the message is
// given up: the value stays null and every later read fails as a read past
// the end.
template <typename Container, size_t kValuesPerElement, typename Reader>
std::optional<uint32_t> ReadElementCount(Reader* stream, EncodableValue* out) {
  if (stream->decode_state().nesting_depth >= kMaxNestingDepth) {
    WriteDiagnosticLine(kInvalidReadLine);
    stream->SkipToEnd();
    return std::nullopt;
  }
  const uint32_t count = ReadSizeFrom(stream);
  if (count > UnpromisedBytes(*stream) / kValuesPerElement) {
    RefuseRead<Container>(out);
    return std::nullopt;
  }
  return count;
}

template <typename Reader>
void ReadList(const StandardCodecSerializer& serializer, Reader* stream,
              EncodableValue* out) {
  const std::optional<uint32_t> count =
      ReadElementCount<EncodableList, 1>(stream, out);
  if (!count) {
    return;
  }
  // The check above bounds the sum of all counts reserved during one decode
  // by the message's size, so the whole count can be reserved at once; the
  // elements then never move while they are read.
  auto& list = out->emplace<EncodableList>();
  list.reserve(*count);
  ByteStreamReader::DecodeState& state = stream->decode_state();
  state.promised_values += *count;
  ++state.nesting_depth;
  for (uint32_t i = 0; i < *count; ++i) {
    --state.promised_values;
    ReadNested(serializer, stream, &list.emplace_back());
  }
  --state.nesting_depth;
}

template <typename Reader>
void ReadMap(const StandardCodecSerializer& serializer, Reader* stream,
             EncodableValue* out) {
  // Every entry is a key and a value.
  const std::optional<uint32_t> count =
      ReadElementCount<EncodableMap, 2>(stream, out);
  if (!count) {
    return;
  }
  // As for lists, the check above bounds what may be reserved.
  EncodableMap::Entries entries;
  entries.reserve(*count);
  ByteStreamReader::DecodeState& state = stream->decode_state();
  state.promised_values += 2 * static_cast<size_t>(*count);
  ++state.nesting_depth;
  for (uint32_t i = 0; i < *count; ++i) {
    auto& entry = entries.emplace_back();
    --state.promised_values;
    ReadNested(serializer, stream, &entry.first);
    --state.promised_values;
    ReadNested(serializer, stream, &entry.second);
  }
  --state.nesting_depth;
  // Sorts entries that arrived out of key order; of equal keys the first
  // wins.
  out->emplace<EncodableMap>(EncodableMap::FromEntries(std::move(entries)));
}

template <typename Reader>
void ReadPayload(const StandardCodecSerializer& serializer, uint8_t type,
                 Reader* stream, EncodableValue* out) {
  switch (type) {
    case kNull:
      return;
    case kTrue:
      out->emplace<bool>(true);
      return;
    case kFalse:
      out->emplace<bool>(false);
      return;
    case kInt32:
      out->emplace<int32_t>(ReadScalar<int32_t>(stream));
      return;
    case kInt64:
      out->emplace<int64_t>(ReadScalar<int64_t>(stream));
      return;
    case kFloat64:
      stream->ReadAlignment(8);
      out->emplace<double>(ReadScalar<double>(stream));
      return;
    case kAlternateString:
    case kString:
      ReadString(stream, out);
      return;
    case kUInt8List:
      ReadTypedList<uint8_t>(stream, out);
      return;
    case kInt32List:
      ReadTypedList<int32_t>(stream, out);
      return;
    case kInt64List:
      ReadTypedList<int64_t>(stream, out);
      return;
    case kFloat64List:
      ReadTypedList<double>(stream, out);
      return;
    case kList:
      ReadList(serializer, stream, out);
      return;
    case kMap:
      ReadMap(serializer, stream, out);
      return;
    case kFloat32List:
      ReadTypedList<float>(stream, out);
      return;
    default: {
      // The number is formatted on the stack: a decode goes on, and answers,
      // when memory has run out.
      char number[4];
      const char* end =
          std::to_chars(number, number + sizeof(number), type).ptr;
      WriteDiagnosticLine(
          {"Unknown type in StandardCodecSerializer::ReadValueOfType: ",
           std::string_view(number, static_cast<size_t>(end - number))});
      return;
    }
  }
}

// A type byte with its fixed-size payload, in one write.
template <typename T, typename Writer>
void WriteTypeAndScalar(uint8_t type, T value, Writer* stream) {
  uint8_t bytes[1 + sizeof(T)];
  bytes[0] = type;
  StoreLittleEndian(value, bytes + 1);
  stream->WriteBytes(bytes, sizeof(bytes));
}

template <typename Writer>
void WriteTypeAndSize(uint8_t type, size_t size, Writer* stream) {
  stream->WriteByte(type);
  WriteSizeTo(size, stream);
}

template <typename Writer>
bool WriteScalarTo(const EncodableValue& value, Writer* stream);

template <typename Writer>
void WriteCompoundTo(const StandardCodecSerializer& serializer,
                     const EncodableValue& value, Writer* stream);

template <typename Writer>
void WriteValueTo(const StandardCodecSerializer& serializer,
                  const EncodableValue& value, Writer* stream) {
  if (!WriteScalarTo(value, stream)) {
    WriteCompoundTo(serializer, value, stream);
  }
}

// An element, key or value of a list or map: through the virtual call, or
// directly where that would land here anyway. The scalars, which lists and
// maps mostly hold, are written in the loop itself, without a call each.
template <typename Writer>
void WriteNested(const StandardCodecSerializer& serializer,
                 const EncodableValue& value, Writer* stream) {
  if constexpr (kIsDirect<Writer>) {
    WriteValueTo(serializer, value, stream);
  } else {
    serializer.WriteValue(value, stream);
  }
}

// The writer aligns also for an empty list, since the reader always skips to
// the boundary after the count; otherwise a value after an empty list would
// read out of step.
template <typename T, typename Writer>
void WriteTypedList(uint8_t type, const std::vector<T>& list, Writer* stream) {
  WriteTypeAndSize(type, list.size(), stream);
  if constexpr (sizeof(T) > 1) {
    stream->WriteAlignment(static_cast<uint8_t>(sizeof(T)));
  }
  if (!list.empty()) {
    stream->WriteBytes(reinterpret_cast<const uint8_t*>(list.data()),
                       list.size() * sizeof(T));
  }
}

// Typed lists, lists, maps, custom values and a valueless value: kept apart
// from the scalars and strings so that those stay small enough to be inlined
// into the loops over elements, which mostly hold them.
template <typename Writer>
void WriteCompoundTo(const StandardCodecSerializer& serializer,
                     const EncodableValue& value, Writer* stream) {
  switch (value.index()) {
    case 6:
      WriteTypedList(kUInt8List, *std::get_if<std::vector<uint8_t>>(&value),
                     stream);
      return;
    case 7:
      WriteTypedList(kInt32List, *std::get_if<std::vector<int32_t>>(&value),
                     stream);
      return;
    case 8:
      WriteTypedList(kInt64List, *std::get_if<std::vector<int64_t>>(&value),
                     stream);
      return;
    case 9:
      WriteTypedList(kFloat64List, *std::get_if<std::vector<double>>(&value),
                     stream);
      return;
    case 10: {
      const auto& list = *std::get_if<EncodableList>(&value);
      WriteTypeAndSize(kList, list.size(), stream);
      for (const EncodableValue& element : list) {
        WriteNested(serializer, element, stream);
      }
      return;
    }
    case 11: {
      const auto& map = *std::get_if<EncodableMap>(&value);
      WriteTypeAndSize(kMap, map.size(), stream);
      for (const auto& [key, entry_value] : map) {
        WriteNested(serializer, key, stream);
        WriteNested(serializer, entry_value, stream);
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
      WriteTypedList(kFloat32List, *std::get_if<std::vector<float>>(&value),
                     stream);
      return;
    default:
      // Only a value left valueless by an exception has no alternative.
      // Writing nothing would put the rest of the message out of step, so
      // like a custom value it goes out as null.
      stream->WriteByte(kNull);
      return;
  }
}

// Null, bools, numbers and strings; false, with nothing written, for any
// other value. Not recursive, so that the loops over elements can inline it.
template <typename Writer>
inline bool WriteScalarTo(const EncodableValue& value, Writer* stream) {
  switch (value.index()) {
    case 0:
      stream->WriteByte(kNull);
      return true;
    case 1:
      stream->WriteByte(*std::get_if<bool>(&value) ? kTrue : kFalse);
      return true;
    case 2:
      WriteTypeAndScalar(kInt32, *std::get_if<int32_t>(&value), stream);
      return true;
    case 3:
      WriteTypeAndScalar(kInt64, *std::get_if<int64_t>(&value), stream);
      return true;
    case 4: {
      // Aligned to 8 from the message's first byte, after the type byte.
      stream->WriteByte(kFloat64);
      stream->WriteAlignment(8);
      WriteScalar(*std::get_if<double>(&value), stream);
      return true;
    }
    case 5: {
      const auto& string = *std::get_if<std::string>(&value);
      WriteTypeAndSize(kString, string.size(), stream);
      if (!string.empty()) {
        stream->WriteBytes(reinterpret_cast<const uint8_t*>(string.data()),
                           string.size());
      }
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

const StandardCodecSerializer& StandardCodecSerializer::GetInstance() {
  static const StandardCodecSerializer instance;
  return instance;
}

EncodableValue StandardCodecSerializer::ReadValue(
    ByteStreamReader* stream) const {
  // One value returned on every path, so that it is made in the caller's
  // place rather than moved there.
  EncodableValue value;
  if (auto* buffer = AsDefaultOnBuffer<ByteBufferStreamReader>(*this, stream)) {
    ReadNested(*this, buffer, &value);
  } else {
    const uint8_t type = stream->ReadByte();
    value = ReadValueOfType(type, stream);
  }
  return value;
}

void StandardCodecSerializer::WriteValue(const EncodableValue& value,
                                         ByteStreamWriter* stream) const {
  if (auto* buffer = AsDefaultOnBuffer<ByteBufferStreamWriter>(*this, stream)) {
    VectorSink sink(buffer->bytes());
    WriteValueTo(*this, value, &sink);
  } else {
    WriteValueTo(*this, value, stream);
  }
}

EncodableValue StandardCodecSerializer::ReadValueOfType(
    uint8_t type, ByteStreamReader* stream) const {
  EncodableValue value;
  if (auto* buffer = AsDefaultOnBuffer<ByteBufferStreamReader>(*this, stream)) {
    ReadPayload(*this, type, buffer, &value);
  } else {
    ReadPayload(*this, type, stream, &value);
  }
  return value;
}

uint32_t StandardCodecSerializer::ReadSize(ByteStreamReader* stream) const {
  return ReadSizeFrom(stream);
}

void StandardCodecSerializer::WriteSize(size_t size,
                                        ByteStreamWriter* stream) const {
  WriteSizeTo(size, stream);
}

}  // namespace flutter
