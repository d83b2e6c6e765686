#include "messaging/reply_holder.h"

#include "codec/diagnostics.h"

namespace flutter {

ReplyHolder::~ReplyHolder() {
  if (reply_) {
    WriteDiagnosticLine(
        "Warning: Failed to respond to a message. This is a memory leak.");
  }
}

void ReplyHolder::SendResponse(const std::vector<uint8_t>* data) {
  if (!reply_) {
    WriteDiagnosticLine(
        "Error: Only one of Success, Error, or NotImplemented can be called,"
        " and it can be called exactly once. Ignoring duplicate result.");
    return;
  }
  const uint8_t* bytes =
      data != nullptr && !data->empty() ? data->data() : nullptr;
  size_t size = data != nullptr ? data->size() : 0;
  reply_(bytes, size);
  // Dropping the callback releases this result's share of the engine's
  // messenger.
  reply_ = nullptr;
}

}  // namespace flutter
