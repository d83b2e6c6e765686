#include "tests/messaging/recording_engine.h"

#include <utility>

// The engine defines its own handle type; here a handle only leads back to
// the recording engine.
struct FlutterDesktopMessenger {
  lq_test::RecordingEngine* engine;
};

namespace lq_test {

namespace {

RecordingEngine& EngineOf(FlutterDesktopMessengerRef messenger) {
  return *messenger->engine;
}

std::optional<std::vector<uint8_t>> CopyBytes(const uint8_t* data,
                                              size_t size) {
  if (data == nullptr) {
    return std::nullopt;
  }
  return std::vector<uint8_t>(data, data + size);
}

}  // namespace

bool RecordedCall::operator==(const RecordedCall& other) const {
  return function == other.function && messenger == other.messenger &&
         channel == other.channel && data == other.data && size == other.size &&
         response_handle == other.response_handle &&
         callback == other.callback && reply == other.reply &&
         user_data == other.user_data;
}

std::ostream& operator<<(std::ostream& out, const RecordedCall& call) {
  out << call.function << "(messenger=" << call.messenger << ", channel=\""
      << call.channel << "\", data=";
  if (call.data) {
    out << "[";
    for (uint8_t octet : *call.data) {
      out << " " << static_cast<int>(octet);
    }
    out << " ]";
  } else {
    out << "null";
  }
  return out << ", size=" << call.size
             << ", response_handle=" << call.response_handle
             << ", callback=" << (call.callback != nullptr)
             << ", reply=" << (call.reply != nullptr)
             << ", user_data=" << call.user_data << ")";
}

RecordingEngine::RecordingEngine()
    : messenger_(new FlutterDesktopMessenger{this}),
      alternate_(new FlutterDesktopMessenger{this}),
      lock_token_(messenger_) {}

RecordingEngine::~RecordingEngine() {
  delete messenger_;
  delete alternate_;
}

void RecordingEngine::set_send_with_reply_accepted(bool accepted) {
  std::lock_guard<std::mutex> guard(state_mutex_);
  send_with_reply_accepted_ = accepted;
}

void RecordingEngine::set_available(bool available) {
  std::lock_guard<std::mutex> guard(state_mutex_);
  available_ = available;
}

void RecordingEngine::set_lock_token(FlutterDesktopMessengerRef token) {
  std::lock_guard<std::mutex> guard(state_mutex_);
  lock_token_ = token;
}

const FlutterDesktopMessageResponseHandle* RecordingEngine::Deliver(
    const std::string& channel, const std::vector<uint8_t>& message) {
  Registration registration{};
  const FlutterDesktopMessageResponseHandle* handle = nullptr;
  {
    std::lock_guard<std::mutex> guard(state_mutex_);
    auto found = registrations_.find(channel);
    if (found == registrations_.end()) {
      return nullptr;
    }
    registration = found->second;
    response_handles_.push_back(static_cast<int>(response_handles_.size()));
    handle = reinterpret_cast<const FlutterDesktopMessageResponseHandle*>(
        &response_handles_.back());
  }
  FlutterDesktopMessage record{sizeof(FlutterDesktopMessage), channel.c_str(),
                               message.data(), message.size(), handle};
  registration.callback(messenger_, &record, registration.user_data);
  return handle;
}

bool RecordingEngine::ReplyToOldestSend(const std::vector<uint8_t>& reply) {
  PendingSend send{};
  {
    std::lock_guard<std::mutex> guard(state_mutex_);
    if (pending_sends_.empty()) {
      return false;
    }
    send = pending_sends_.front();
    pending_sends_.pop_front();
  }
  send.reply(reply.data(), reply.size(), send.user_data);
  return true;
}

std::vector<RecordedCall> RecordingEngine::calls() const {
  std::lock_guard<std::mutex> guard(state_mutex_);
  return calls_;
}

std::vector<std::string> RecordingEngine::function_names() const {
  std::vector<std::string> names;
  for (const RecordedCall& call : calls()) {
    names.push_back(call.function);
  }
  return names;
}

std::vector<RecordedCall> RecordingEngine::calls_to(
    const std::string& function) const {
  std::vector<RecordedCall> matching;
  for (const RecordedCall& call : calls()) {
    if (call.function == function) {
      matching.push_back(call);
    }
  }
  return matching;
}

void RecordingEngine::ClearCalls() {
  std::lock_guard<std::mutex> guard(state_mutex_);
  calls_.clear();
}

int RecordingEngine::outstanding_references() const {
  std::lock_guard<std::mutex> guard(state_mutex_);
  return outstanding_references_;
}

void RecordingEngine::Record(RecordedCall call) {
  std::lock_guard<std::mutex> guard(state_mutex_);
  calls_.push_back(std::move(call));
}

bool RecordingEngine::send_with_reply_accepted() const {
  std::lock_guard<std::mutex> guard(state_mutex_);
  return send_with_reply_accepted_;
}

bool RecordingEngine::available() const {
  std::lock_guard<std::mutex> guard(state_mutex_);
  return available_;
}

FlutterDesktopMessengerRef RecordingEngine::Lock() {
  FlutterDesktopMessengerRef token;
  {
    std::lock_guard<std::mutex> guard(state_mutex_);
    token = lock_token_;
  }
  // Without a token nobody would unlock, so no lock is taken.
  if (token != nullptr) {
    messenger_lock_.lock();
  }
  return token;
}

void RecordingEngine::Unlock() { messenger_lock_.unlock(); }

void RecordingEngine::AddReference(int delta) {
  std::lock_guard<std::mutex> guard(state_mutex_);
  outstanding_references_ += delta;
}

void RecordingEngine::SetCallback(const std::string& channel,
                                  FlutterDesktopMessageCallback callback,
                                  void* user_data) {
  std::lock_guard<std::mutex> guard(state_mutex_);
  if (callback == nullptr) {
    registrations_.erase(channel);
  } else {
    registrations_[channel] = Registration{callback, user_data};
  }
}

void RecordingEngine::AddPendingSend(FlutterDesktopBinaryReply reply,
                                     void* user_data) {
  std::lock_guard<std::mutex> guard(state_mutex_);
  pending_sends_.push_back(PendingSend{reply, user_data});
}

}  // namespace lq_test

using lq_test::EngineOf;
using lq_test::RecordedCall;

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger,
                                 const char* channel, const uint8_t* message,
                                 size_t message_size) {
  RecordedCall call;
  call.function = "FlutterDesktopMessengerSend";
  call.messenger = messenger;
  call.channel = channel;
  call.data = lq_test::CopyBytes(message, message_size);
  call.size = message_size;
  EngineOf(messenger).Record(std::move(call));
  return true;
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger,
                                          const char* channel,
                                          const uint8_t* message,
                                          size_t message_size,
                                          FlutterDesktopBinaryReply reply,
                                          void* user_data) {
  RecordedCall call;
  call.function = "FlutterDesktopMessengerSendWithReply";
  call.messenger = messenger;
  call.channel = channel;
  call.data = lq_test::CopyBytes(message, message_size);
  call.size = message_size;
  call.reply = reply;
  call.user_data = user_data;
  lq_test::RecordingEngine& engine = EngineOf(messenger);
  engine.Record(std::move(call));
  if (!engine.send_with_reply_accepted()) {
    return false;
  }
  engine.AddPendingSend(reply, user_data);
  return true;
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger,
                                        const char* channel,
                                        FlutterDesktopMessageCallback callback,
                                        void* user_data) {
  RecordedCall call;
  call.function = "FlutterDesktopMessengerSetCallback";
  call.messenger = messenger;
  call.channel = channel;
  call.callback = callback;
  call.user_data = user_data;
  lq_test::RecordingEngine& engine = EngineOf(messenger);
  engine.Record(std::move(call));
  engine.SetCallback(channel, callback, user_data);
}

void FlutterDesktopMessengerSendResponse(
    FlutterDesktopMessengerRef messenger,
    const FlutterDesktopMessageResponseHandle* handle, const uint8_t* data,
    size_t data_length) {
  RecordedCall call;
  call.function = "FlutterDesktopMessengerSendResponse";
  call.messenger = messenger;
  call.data = lq_test::CopyBytes(data, data_length);
  call.size = data_length;
  call.response_handle = handle;
  EngineOf(messenger).Record(std::move(call));
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(
    FlutterDesktopMessengerRef messenger) {
  RecordedCall call;
  call.function = "FlutterDesktopMessengerAddRef";
  call.messenger = messenger;
  lq_test::RecordingEngine& engine = EngineOf(messenger);
  engine.Record(std::move(call));
  engine.AddReference(1);
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  RecordedCall call;
  call.function = "FlutterDesktopMessengerRelease";
  call.messenger = messenger;
  lq_test::RecordingEngine& engine = EngineOf(messenger);
  engine.Record(std::move(call));
  engine.AddReference(-1);
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  RecordedCall call;
  call.function = "FlutterDesktopMessengerIsAvailable";
  call.messenger = messenger;
  lq_test::RecordingEngine& engine = EngineOf(messenger);
  engine.Record(std::move(call));
  return engine.available();
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(
    FlutterDesktopMessengerRef messenger) {
  RecordedCall call;
  call.function = "FlutterDesktopMessengerLock";
  call.messenger = messenger;
  lq_test::RecordingEngine& engine = EngineOf(messenger);
  engine.Record(std::move(call));
  return engine.Lock();
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  RecordedCall call;
  call.function = "FlutterDesktopMessengerUnlock";
  call.messenger = messenger;
  lq_test::RecordingEngine& engine = EngineOf(messenger);
  engine.Record(std::move(call));
  engine.Unlock();
}
