#include "codec/byte_buffer_streams.h"

#include <cstring>

#include "codec/diagnostics.h"

namespace flutter {

uint8_t ByteBufferStreamReader::ReadByte() {
  if (location_ >= size_) {
    WriteDiagnosticLine(kInvalidReadLine);
    return 0;
  }
  return bytes_[location_++];
}

void ByteBufferStreamReader::ReadBytes(uint8_t* buffer, size_t length) {
  // An alignment may have carried location_ past the end; then even a read of
  // zero bytes fails.
  if (location_ > size_ || length > size_ - location_) {
    WriteDiagnosticLine(kInvalidReadLine);
    return;
  }
  if (length != 0) {
    std::memcpy(buffer, bytes_ + location_, length);
  }
  location_ += length;
}

void ByteBufferStreamReader::ReadAlignment(uint8_t alignment) {
  if (alignment == 0) {
    return;
  }
  const size_t misalignment = location_ % alignment;
  if (misalignment != 0) {
    location_ += alignment - misalignment;
  }
}

size_t ByteBufferStreamReader::RemainingBytes() const {
  return location_ >= size_ ? 0 : size_ - location_;
}

void ByteBufferStreamReader::SkipToEnd() {
  // Past the end rather than at it, so that a read of zero bytes fails too.
  // size_ cannot be SIZE_MAX: the buffer lies in memory.
  location_ = size_ + 1;
}

void ByteBufferStreamWriter::WriteByte(uint8_t byte) {
  bytes_->push_back(byte);
}

void ByteBufferStreamWriter::WriteBytes(const uint8_t* bytes, size_t length) {
  if (length != 0) {
    bytes_->insert(bytes_->end(), bytes, bytes + length);
  }
}

void ByteBufferStreamWriter::WriteAlignment(uint8_t alignment) {
  if (alignment == 0) {
    return;
  }
  const size_t misalignment = bytes_->size() % alignment;
  if (misalignment != 0) {
    for (size_t i = misalignment; i < alignment; ++i) {
      WriteByte(0);
    }
  }
}

}  // namespace flutter
