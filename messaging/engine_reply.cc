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

void EngineReply::operator()(const uint8_t* data, size_t size) const {
  MessengerLock lock(messenger_);
  // Once the engine is gone the handle must not be used; the reply is dropped
  // and the response handle left as it is.
  if (!FlutterDesktopMessengerIsAvailable(messenger_)) {
    return;
  }
  if (keep_alive_->response_handle_ == nullptr) {
    WriteDiagnosticLine(
        "Error: Response can be set only once. Ignoring duplicate response.");
    return;
  }
  FlutterDesktopMessengerSendResponse(messenger_, keep_alive_->response_handle_,
                                      data, size);
  keep_alive_->response_handle_ = nullptr;
}

}  // namespace flutter
