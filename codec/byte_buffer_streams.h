#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "codec/byte_streams.h"

namespace flutter {

// Reads one message straight from the caller's buffer, which must outlive the
// reader. Reads never touch memory outside [bytes, bytes + size).
//
// Final and defined here, so that code holding this type (the serializer's
// path for buffers) makes its calls directly and inline.
class ByteBufferStreamReader final : public ByteStreamReader {
 public:
  ByteBufferStreamReader(const uint8_t* bytes, size_t size)
      : bytes_(bytes), size_(size) {}
  ~ByteBufferStreamReader() override = default;

  uint8_t ReadByte() override {
    if (location_ >= size_) {
      ReportInvalidRead();
      return 0;
    }
    return bytes_[location_++];
  }

  void ReadBytes(uint8_t* buffer, size_t length) override {
    // An alignment may have carried location_ past the end; then even a read
    // of zero bytes fails.
    if (location_ > size_ || length > size_ - location_) {
      ReportInvalidRead();
      return;
    }
    if (length != 0) {
      std::memcpy(buffer, bytes_ + location_, length);
    }
    location_ += length;
  }

  void ReadAlignment(uint8_t alignment) override {
    if (alignment == 0) {
      return;
    }
    const size_t misalignment = location_ % alignment;
    if (misalignment != 0) {
      location_ += alignment - misalignment;
    }
  }

  size_t RemainingBytes() const override {
    return location_ >= size_ ? 0 : size_ - location_;
  }

  void SkipToEnd() override {
    // Past the end rather than at it, so that a read of zero bytes fails too.
    // size_ cannot be SIZE_MAX: the buffer lies in memory.
    location_ = size_ + 1;
  }

  // The next `length` bytes where they lie, and moves past them; like
  // ReadBytes, null with a diagnostic line (and no move) when fewer remain.
  const uint8_t* ReadInPlace(size_t length) {
    if (location_ > size_ || length > size_ - location_) {
      ReportInvalidRead();
      return nullptr;
    }
    const uint8_t* bytes = bytes_ + location_;
    location_ += length;
    return bytes;
  }

  // Index of the next byte to read; may lie past the end after an alignment.
  size_t location() const { return location_; }

 private:
  // Out of line: the failure path is cold.
  static void ReportInvalidRead();

  const uint8_t* bytes_;
  size_t size_;
  size_t location_ = 0;
};

// Appends one message to the end of a caller-owned vector, which must outlive
// the writer. Alignment counts from the vector's first byte.
class ByteBufferStreamWriter final : public ByteStreamWriter {
 public:
  explicit ByteBufferStreamWriter(std::vector<uint8_t>* bytes)
      : bytes_(bytes) {}
  ~ByteBufferStreamWriter() override = default;

  void WriteByte(uint8_t value) override { bytes_->push_back(value); }

  void WriteBytes(const uint8_t* bytes, size_t length) override {
    if (length != 0) {
      bytes_->insert(bytes_->end(), bytes, bytes + length);
    }
  }

  // The zero bytes in one go; only the bytes written matter.
  void WriteAlignment(uint8_t alignment) override {
    if (alignment == 0) {
      return;
    }
    const size_t misalignment = bytes_->size() % alignment;
    if (misalignment != 0) {
      bytes_->resize(bytes_->size() + alignment - misalignment);
    }
  }

  // The vector written to.
  std::vector<uint8_t>* bytes() const { return bytes_; }

 private:
  std::vector<uint8_t>* bytes_;
};

}  // namespace flutter
