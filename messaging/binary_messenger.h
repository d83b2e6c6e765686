#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace flutter {

// The reply to one incoming message, or the receiver of the other side's
// reply to a sent message. `data` may be null (the empty reply).
using ReplyCallback = std::function<void(const uint8_t* data, size_t size)>;

// Receives every message of one channel; it becomes the owner of `reply`.
using MessageHandler = std::function<void(const uint8_t* message, size_t size,
                                          ReplyCallback reply)>;

// Byte messages on named channels between the host and the UI bundle.
class BinaryMessenger {
 public:
  BinaryMessenger() = default;
  virtual ~BinaryMessenger() = default;

  BinaryMessenger(const BinaryMessenger&) = delete;
  BinaryMessenger& operator=(const BinaryMessenger&) = delete;

  // Sends `message` on `channel`; `reply`, when not empty, receives the other
  // side's reply.
  virtual void Send(const std::string& channel, const uint8_t* message,
                    size_t message_size, ReplyCallback reply = nullptr) = 0;

  // Registers `handler` for `channel`, replacing any earlier one; an empty
  // handler removes the registration.
  virtual void SetMessageHandler(const std::string& channel,
                                 MessageHandler handler) = 0;
};

}  // namespace flutter
