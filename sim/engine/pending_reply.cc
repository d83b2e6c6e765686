#include "sim/engine/pending_reply.h"

#include <algorithm>

namespace lanternquill::sim {

void PendingReply::Respond(const uint8_t* data, size_t size) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (outcome_) {
      return;
    }
    outcome_ = Outcome::kResponded;
    if (data != nullptr) {
      response_.assign(data, data + size);
    }
  }
  changed_.notify_all();
}

void PendingReply::NoCallback() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (outcome_) {
      return;
    }
    outcome_ = Outcome::kNoCallback;
  }
  changed_.notify_all();
}

void PendingReply::CallbackReturned() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!returned_at_) {
      returned_at_ = std::chrono::steady_clock::now();
    }
  }
  changed_.notify_all();
}

PendingReply::Outcome PendingReply::Wait(std::chrono::milliseconds grace,
                                         const std::atomic<bool>& stopping,
                                         std::chrono::milliseconds poll) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (outcome_) {
      return *outcome_;
    }
    if (stopping) {
      return Outcome::kStopped;
    }
    auto wait = poll;
    if (returned_at_) {
      const auto deadline = *returned_at_ + grace;
      const auto now = std::chrono::steady_clock::now();
      if (now >= deadline) {
        outcome_ = Outcome::kNoResponse;
        return *outcome_;
      }
      wait = std::min(
          wait, std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
    }
    changed_.wait_for(lock, wait);
  }
}

}  // namespace lanternquill::sim
