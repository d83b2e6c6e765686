#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/byte_streams.h"
#include "codec/encodable_value.h"

namespace flutter {

// Reads and writes EncodableValues in the standard binary message format:
// a type byte, then its payload, little-endian, with alignment counted from
// the message's first byte. Malformed input never throws (allocation aside)
// and never reads outside the message: failures print one diagnostic line and
// yield zeros and nulls.
class StandardCodecSerializer {
 public:
  // The process-wide default serializer, made on first use.
  static const StandardCodecSerializer& GetInstance();

  StandardCodecSerializer() = default;
  virtual ~StandardCodecSerializer() = default;

  StandardCodecSerializer(const StandardCodecSerializer&) = delete;
  StandardCodecSerializer& operator=(const StandardCodecSerializer&) = delete;

  // Writes the type byte and payload of `value`; nested values go through
  // this virtual again.
  virtual void WriteValue(const EncodableValue& value,
                          ByteStreamWriter* stream) const;

  // Reads one complete value: its type byte, then ReadValueOfType.
  EncodableValue ReadValue(ByteStreamReader* stream) const;

  // Reads the payload of a value whose type byte has been read; nested values
  // go through ReadValue, and so through this virtual again.
  virtual EncodableValue ReadValueOfType(uint8_t type,
                                         ByteStreamReader* stream) const;

  // The size encoding: one byte below 254, else 254 + u16 or 255 + u32.
  uint32_t ReadSize(ByteStreamReader* stream) const;
  void WriteSize(size_t size, ByteStreamWriter* stream) const;
};

}  // namespace flutter
