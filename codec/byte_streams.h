#pragma once

#include <cstddef>
#include <cstdint>

namespace flutter {

// A source of message bytes for one decode.
class ByteStreamReader {
 public:
  ByteStreamReader() = default;
  virtual ~ByteStreamReader() = default;

  ByteStreamReader(const ByteStreamReader&) = delete;
  ByteStreamReader& operator=(const ByteStreamReader&) = delete;

  // The next byte; 0 (with a diagnostic line) past the end.
  virtual uint8_t ReadByte() = 0;
  // Copies the next `length` bytes; copies nothing (with a diagnostic line)
  // when fewer remain.
  virtual void ReadBytes(uint8_t* buffer, size_t length) = 0;
  // Moves to the next multiple of `alignment`, counted from the message's
  // first byte. May pass the end; the next read then fails.
  virtual void ReadAlignment(uint8_t alignment) = 0;

  // Bytes left before the end (0 once past it). A declared count is checked
  // against this before anything is allocated for it.
  virtual size_t RemainingBytes() const = 0;
  // Gives up on the rest of the message: every later read fails as a read
  // past the end does.
  virtual void SkipToEnd() = 0;
};

// A sink of message bytes for one encode.
class ByteStreamWriter {
 public:
  ByteStreamWriter() = default;
  virtual ~ByteStreamWriter() = default;

  ByteStreamWriter(const ByteStreamWriter&) = delete;
  ByteStreamWriter& operator=(const ByteStreamWriter&) = delete;

  virtual void WriteByte(uint8_t byte) = 0;
  virtual void WriteBytes(const uint8_t* bytes, size_t length) = 0;
  // Appends zero bytes until the count written since the message's first byte
  // is a multiple of `alignment`.
  virtual void WriteAlignment(uint8_t alignment) = 0;
};

}  // namespace flutter
