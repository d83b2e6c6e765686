#pragma once

#include <cstddef>
#include <cstdint>

namespace flutter {

// The line written for every read that fails: past the end of the message,
// or of a declared count or nesting the message cannot honestly hold.
inline constexpr char kInvalidReadLine[] =
    "Invalid read in StandardCodecByteStreamReader";

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

  // Bookkeeping of the decode in progress. The serializer is stateless and
  // shared by every thread, so the limits that keep peer data from driving it
  // into deep recursion or huge allocations travel with the one stream they
  // belong to.
  struct DecodeState {
    // Lists and maps open around the value being read.
    uint32_t nesting_depth = 0;
    // Values that open lists and maps have declared but not begun reading;
    // each still needs at least its type byte from the message.
    size_t promised_values = 0;
  };
  DecodeState& decode_state() { return decode_state_; }
  const DecodeState& decode_state() const { return decode_state_; }

 private:
  DecodeState decode_state_;
};

// A sink of message bytes for one encode.
class ByteStreamWriter {
 public:
  ByteStreamWriter() = default;
  virtual ~ByteStreamWriter() = default;

  ByteStreamWriter(const ByteStreamWriter&) = delete;
  ByteStreamWriter& operator=(const ByteStreamWriter&) = delete;

  virtual void WriteByte(uint8_t value) = 0;
  virtual void WriteBytes(const uint8_t* bytes, size_t length) = 0;
  // Appends zero bytes until the count written since the message's first byte
  // is a multiple of `alignment`.
  virtual void WriteAlignment(uint8_t alignment) = 0;
};

}  // namespace flutter
