#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/byte_streams.h"

namespace flutter {

// Reads one message straight from the caller's buffer, which must outlive the
// reader. Reads never touch memory outside [bytes, bytes + size).
class ByteBufferStreamReader : public ByteStreamReader {
 public:
  ByteBufferStreamReader(const uint8_t* bytes, size_t size)
      : bytes_(bytes), size_(size) {}
  ~ByteBufferStreamReader() override = default;

  uint8_t ReadByte() override;
  void ReadBytes(uint8_t* buffer, size_t length) override;
  void ReadAlignment(uint8_t alignment) override;
  size_t RemainingBytes() const override;
  void SkipToEnd() override;

  // Index of the next byte to read; may lie past the end after an alignment.
  size_t location() const { return location_; }

 private:
  const uint8_t* bytes_;
  size_t size_;
  size_t location_ = 0;
};

// Appends one message to the end of a caller-owned vector, which must outlive
// the writer. Alignment counts from the vector's first byte.
class ByteBufferStreamWriter : public ByteStreamWriter {
 public:
  explicit ByteBufferStreamWriter(std::vector<uint8_t>* bytes)
      : bytes_(bytes) {}
  ~ByteBufferStreamWriter() override = default;

  void WriteByte(uint8_t byte) override;
  void WriteBytes(const uint8_t* bytes, size_t length) override;
  void WriteAlignment(uint8_t alignment) override;

 private:
  std::vector<uint8_t>* bytes_;
};

}  // namespace flutter
