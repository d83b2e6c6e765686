#include "messaging/reply_holder.h"

#include "codec/diagnostics.h"

namespace flutter {

ReplyHolder::~ReplyHolder() {
  // The last owner is the only one left, so no lock is needed.
  if (reply_) {
    WriteDiagnosticLine(
        "Warning: Failed to respond to a message. This is a memory leak.");
  }
}

void ReplyHolder::SendResponse(const std::vector<uint8_t>* data) {
  ReplyCallback reply;
  {
    // Taken out under the lock, so exactly one caller gets it; it runs and
    // is destroyed outside, where it cannot meet another thread's use.
    std::lock_guard<std::mutex> lock(mutex_);
    reply = std::move(reply_);
    reply_ = nullptr;
  }
  if (!reply) {
    WriteDiagnosticLine(
        "Error: Only one of Success, Error, or NotImplemented can be called,"
        " and it can be called exactly once. Ignoring duplicate result.");
    return;
  }
  const uint8_t* bytes =
      data != nullptr && !data->empty() ? data->data() : nullptr;
  size_t size = data != nullptr ? data->size() : 0;
  reply(bytes, size);
  // Leaving this scope destroys the callback, which releases this result's
  // share of the engine's messenger.
}

bool ReplyHolder::answered() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !reply_;
}

}  // namespace flutter
