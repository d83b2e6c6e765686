#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

#include "host/flutter_messenger.h"

namespace flutter {

// Sends (data, size) as the response to `*response_handle` under the
// messenger lock, then clears the handle: the engine accepts one response per
// message. A handle already cleared gets one diagnostic line instead; once
// the engine has gone the response is dropped and the handle left as it is.
void SendEngineResponse(
    FlutterDesktopMessengerRef messenger,
    const FlutterDesktopMessageResponseHandle** response_handle,
    const uint8_t* data, size_t size) noexcept;

// The reply to one incoming message: sends the response through the engine,
// once. It shares one engine reference on the messenger with every copy of
// itself and with the trampoline that made it; the last owner gives that
// reference back. Copies also share the answered state, so a second reply
// through any copy is rejected. May be invoked or destroyed on any thread.
class EngineReply {
 public:
  // The engine reference taken for one message and the message's response
  // handle, which is used up by the first response. Taking the reference in
  // the constructor means it is owned from the moment it exists.
  class KeepAlive {
   public:
    KeepAlive(FlutterDesktopMessengerRef engine_messenger,
              const FlutterDesktopMessageResponseHandle* response_handle)
        : messenger_(FlutterDesktopMessengerAddRef(engine_messenger)),
          response_handle_(response_handle) {}
    ~KeepAlive();

    KeepAlive(const KeepAlive&) = delete;
    KeepAlive& operator=(const KeepAlive&) = delete;

    // The handle returned by the add-ref.
    FlutterDesktopMessengerRef messenger() const { return messenger_; }

   private:
    friend class EngineReply;

    FlutterDesktopMessengerRef messenger_;
    // Read and written only under the messenger lock; null once answered.
    const FlutterDesktopMessageResponseHandle* response_handle_;
  };

  explicit EngineReply(std::shared_ptr<KeepAlive> keep_alive)
      : messenger_(keep_alive->messenger()),
        keep_alive_(std::move(keep_alive)) {}

  // Sends (data, size) as the response unless it was sent before (one
  // diagnostic line) or the engine has gone (silently dropped).
  void operator()(const uint8_t* data, size_t size) const;

 private:
  FlutterDesktopMessengerRef messenger_;
  std::shared_ptr<KeepAlive> keep_alive_;
};

}  // namespace flutter
