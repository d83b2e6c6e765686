#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "messaging/binary_messenger.h"

namespace flutter {

// Holds the reply callback of one message until the first answer, and
// rejects every later one. Destroyed unanswered, it warns: the message then
// never gets a response. Owned by one method result and, like it, used by one
// thread at a time.
class ReplyHolder {
 public:
  explicit ReplyHolder(ReplyCallback reply) noexcept
      : reply_(std::move(reply)) {}
  ~ReplyHolder();

  ReplyHolder(const ReplyHolder&) = delete;
  ReplyHolder& operator=(const ReplyHolder&) = delete;

  // Sends `data` (none: the empty reply) on the first call, then drops the
  // callback; later calls write the duplicate-result line and send nothing.
  void SendResponse(const std::vector<uint8_t>* data);

  // True once SendResponse has taken the callback.
  bool answered() const { return !reply_; }

 private:
  ReplyCallback reply_;
};

}  // namespace flutter
