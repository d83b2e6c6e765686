// ReadValue of the standard codec on arbitrary bytes: no crash, no undefined
// behaviour, no allocation beyond the message's size, and never more room
// for values than the message has bytes.

#include <cstddef>
#include <cstdint>
#include <variant>

#include "codec/byte_buffer_streams.h"
#include "codec/encodable_value.h"
#include "codec/standard_codec_serializer.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

// Values the decoded tree holds room for, itself included: list capacity
// counts, since reserved room costs memory whether or not it was filled.
size_t HeldValues(const EncodableValue& value) {
  size_t held = 1;
  if (const auto* list = std::get_if<EncodableList>(&value)) {
    held += list->capacity() - list->size();
    for (const EncodableValue& element : *list) {
      held += HeldValues(element);
    }
  } else if (const auto* map = std::get_if<EncodableMap>(&value)) {
    for (const auto& [key, entry] : *map) {
      held += HeldValues(key) + HeldValues(entry);
    }
  }
  return held;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  lq_fuzz::SilenceDiagnostics();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  flutter::ByteBufferStreamReader reader(data, size);
  const EncodableValue value =
      flutter::StandardCodecSerializer::GetInstance().ReadValue(&reader);
  // Every value but the outermost needs at least its type byte in the
  // message, which also holds the outermost's type byte.
  lq_fuzz::Require(HeldValues(value) <= size + 1,
                   "decoded value holds room for more values than bytes");
  return 0;
}
