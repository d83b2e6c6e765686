#include "tests/support/answering_engine.h"

#include <algorithm>

// The engine defines its own handle type; here a handle only leads back to
// the answering engine.
struct FlutterDesktopMessenger {
  lq_bench::AnsweringEngine* engine;
};

namespace lq_bench {
namespace {

// One engine per program is all a benchmark needs; its handle lives as long
// as the program.
FlutterDesktopMessenger g_handle{nullptr};
int g_response_handle = 0;

AnsweringEngine& EngineOf(FlutterDesktopMessengerRef messenger) {
  return *messenger->engine;
}

}  // namespace

AnsweringEngine::AnsweringEngine() { g_handle.engine = this; }

FlutterDesktopMessengerRef AnsweringEngine::messenger() { return &g_handle; }

bool AnsweringEngine::Deliver(const char* channel,
                              const std::vector<uint8_t>& message) {
  if (callback_ == nullptr) {
    return false;
  }
  const FlutterDesktopMessage record{
      sizeof(FlutterDesktopMessage), channel, message.data(), message.size(),
      reinterpret_cast<const FlutterDesktopMessageResponseHandle*>(
          &g_response_handle)};
  callback_(&g_handle, &record, user_data_);
  return true;
}

void AnsweringEngine::SetCallback(FlutterDesktopMessageCallback callback,
                                  void* user_data) {
  callback_ = callback;
  user_data_ = user_data;
}

void AnsweringEngine::Respond(const uint8_t* data, size_t size) {
  ++responses_;
  last_response_size_ = size;
  last_response_first_byte_ = data != nullptr && size != 0 ? data[0] : -1;
  kept_response_size_ = data != nullptr ? std::min(size, kKeptBytes) : 0;
  std::copy_n(data, kept_response_size_, kept_response_.begin());
}

std::vector<uint8_t> AnsweringEngine::last_response() const {
  return std::vector<uint8_t>(kept_response_.begin(),
                              kept_response_.begin() + kept_response_size_);
}

}  // namespace lq_bench

using lq_bench::EngineOf;

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef /*messenger*/,
                                 const char* /*channel*/,
                                 const uint8_t* /*message*/,
                                 size_t /*message_size*/) {
  return true;
}

// Nothing is sent to the UI in a benchmark, so no reply would ever come.
bool FlutterDesktopMessengerSendWithReply(
    FlutterDesktopMessengerRef /*messenger*/, const char* /*channel*/,
    const uint8_t* /*message*/, size_t /*message_size*/,
    FlutterDesktopBinaryReply /*reply*/, void* /*user_data*/) {
  return false;
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger,
                                        const char* /*channel*/,
                                        FlutterDesktopMessageCallback callback,
                                        void* user_data) {
  EngineOf(messenger).SetCallback(callback, user_data);
}

void FlutterDesktopMessengerSendResponse(
    FlutterDesktopMessengerRef messenger,
    const FlutterDesktopMessageResponseHandle* /*handle*/, const uint8_t* data,
    size_t data_length) {
  EngineOf(messenger).Respond(data, data_length);
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(
    FlutterDesktopMessengerRef messenger) {
  EngineOf(messenger).AddReference(1);
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  EngineOf(messenger).AddReference(-1);
}

bool FlutterDesktopMessengerIsAvailable(
    FlutterDesktopMessengerRef /*messenger*/) {
  return true;
}

// Everything runs on the benchmark's one thread, so the lock has nothing to
// exclude.
FlutterDesktopMessengerRef FlutterDesktopMessengerLock(
    FlutterDesktopMessengerRef messenger) {
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef /*messenger*/) {}
