#pragma once

// The outcome of one message the test port handed to the UI thread: the
// host's response, no callback, or no response within a grace period after
// the callback returned. Shared between the port thread (which waits) and
// the UI thread and whichever thread responds.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace lanternquill::sim {

class PendingReply {
 public:
  enum class Outcome { kResponded, kNoCallback, kNoResponse, kStopped };

  // The first of Respond and NoCallback decides; later calls are ignored.
  void Respond(const uint8_t* data, size_t size);
  void NoCallback();
  // The callback has returned; the grace period for a response starts now.
  void CallbackReturned();

  // Waits until the outcome is known or `stopping` becomes true (checked
  // every `poll`). A callback still running is waited for however long it
  // takes: only after it returns does the grace period count.
  Outcome Wait(std::chrono::milliseconds grace,
               const std::atomic<bool>& stopping,
               std::chrono::milliseconds poll = std::chrono::milliseconds(50));

  // The response bytes once Wait returned kResponded.
  const std::vector<uint8_t>& response() const { return response_; }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<Outcome> outcome_;
  std::optional<std::chrono::steady_clock::time_point> returned_at_;
  std::vector<uint8_t> response_;
};

}  // namespace lanternquill::sim
