#pragma once

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "messaging/binary_messenger.h"

namespace flutter {

// Holds the reply callback of one message until the first answer, and
// rejects every later one. Destroyed unanswered, it warns: the message then
// never gets a response. Its owners may answer from different threads.
class ReplyHolder {
 public:
  explicit ReplyHolder(ReplyCallback reply) : reply_(std::move(reply)) {}
  ~ReplyHolder();

  ReplyHolder(const ReplyHolder&) = delete;
  ReplyHolder& operator=(const ReplyHolder&) = delete;

  // Sends `data` (none: the empty reply) on the first call, then drops the
  // callback; later calls write the duplicate-result line and send nothing.
  void SendResponse(const std::vector<uint8_t>* data);

  // True once SendResponse has taken the callback, as seen by this thread
  // after every answer that an earlier owner gave before letting go.
  bool answered() const;

 private:
  // Guards reply_: one thread may take the callback out while another asks
  // whether it is still there.
  mutable std::mutex mutex_;
  ReplyCallback reply_;
};

}  // namespace flutter
