#pragma once

// A stand-in for the engine's messenger functions that only answers: it keeps
// one registration and the last response's size and first bytes, and records
// and allocates nothing, so that a benchmark linking it instead of any engine
// library measures the host's side of a call alone, and a test that makes
// allocations fail fails only the host's.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/flutter_messenger.h"

namespace lq_bench {

class AnsweringEngine {
 public:
  AnsweringEngine();

  AnsweringEngine(const AnsweringEngine&) = delete;
  AnsweringEngine& operator=(const AnsweringEngine&) = delete;

  FlutterDesktopMessengerRef messenger();

  // Delivers `message` on `channel` to the one registered callback, as the
  // engine does on the UI thread; false when nothing is registered.
  bool Deliver(const char* channel, const std::vector<uint8_t>& message);

  // The last response: its size and first byte (-1 for none or empty), and
  // the responses sent so far.
  size_t last_response_size() const { return last_response_size_; }
  int last_response_first_byte() const { return last_response_first_byte_; }
  // The last response's bytes, up to the first 64.
  std::vector<uint8_t> last_response() const;
  uint64_t responses() const { return responses_; }
  // References taken by AddRef and not yet released.
  int64_t outstanding_references() const { return references_; }

  // For the C functions.
  void SetCallback(FlutterDesktopMessageCallback callback, void* user_data);
  void Respond(const uint8_t* data, size_t size);
  void AddReference(int delta) { references_ += delta; }

 private:
  FlutterDesktopMessageCallback callback_ = nullptr;
  void* user_data_ = nullptr;
  size_t last_response_size_ = 0;
  int last_response_first_byte_ = -1;
  static constexpr size_t kKeptBytes = 64;
  std::array<uint8_t, kKeptBytes> kept_response_{};
  size_t kept_response_size_ = 0;
  uint64_t responses_ = 0;
  int64_t references_ = 0;
};

}  // namespace lq_bench
