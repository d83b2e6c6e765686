#include "messaging/engine_reply.h"

#include "codec/diagnostics.h"

namespace flutter {

namespace {

// Holds the messenger lock for one scope; a null token means the engine gave
// no lock to release.
class MessengerLock {
 public:
  explicit MessengerLock(FlutterDesktopMessengerRef messenger)
      : token_(FlutterDesktopMessengerLock(messenger)) {}
  ~MessengerLock() {
    if (token_ != nullptr) {
      FlutterDesktopMessengerUnlock(token_);
    }
  }

  MessengerLock(const MessengerLock&) = delete;
  MessengerLock& operator=(const MessengerLock&) = delete;

 private:
  FlutterDesktopMessengerRef token_;
};

}  // namespace

EngineReply::KeepAlive::~KeepAlive() {
  if (messenger_ != nullptr) {
    FlutterDesktopMessengerRelease(messenger_);
  }
}

void SendEngineResponse(
    FlutterDesktopMessengerRef messenger,
    const FlutterDesktopMessageResponseHandle** response_handle,
    const uint8_t* data, size_t size) noexcept {
  MessengerLock lock(messenger);
  // Once the engine is gone the handle must not be used; the reply is dropped
  // and the response handle left as it is.
  if (!FlutterDesktopMessengerIsAvailable(messenger)) {
    return;
  }
  if (*response_handle == nullptr) {
    WriteDiagnosticLine(
        "Error: Response can be set only once. Ignoring duplicate response.");
    return;
  }
  FlutterDesktopMessengerSendResponse(messenger, *response_handle, data, size);
  *response_handle = nullptr;
}

void EngineReply::operator()(const uint8_t* data, size_t size) const {
  SendEngineResponse(messenger_, &keep_alive_->response_handle_, data, size);
}

}  // namespace flutter
