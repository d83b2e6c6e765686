#include "tests/support/engine_double.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

// The engine defines its own handle type; here a handle only leads back to
// the double.
struct FlutterDesktopMessenger {
  lq_test::EngineDouble* engine;
};

namespace lq_test {
namespace {

EngineDouble* current = nullptr;

// Distinct addresses that stand for the view controller and the view.
char controller_token;
char view_token;

EngineDouble& EngineOf(FlutterDesktopMessengerRef messenger) {
  return *messenger->engine;
}

std::optional<std::vector<uint8_t>> CopyBytes(const uint8_t* data,
                                              size_t size) {
  if (data == nullptr) {
    return std::nullopt;
  }
  return std::vector<uint8_t>(data, data + size);
}

std::string HandleName(const void* handle) {
  return handle == nullptr ? "null" : "handle";
}

}  // namespace

bool RecordedCall::operator==(const RecordedCall& other) const {
  return function == other.function && detail == other.detail &&
         messenger == other.messenger && channel == other.channel &&
         data == other.data && size == other.size &&
         response_handle == other.response_handle &&
         callback == other.callback && reply == other.reply &&
         user_data == other.user_data;
}

std::ostream& operator<<(std::ostream& out, const RecordedCall& call) {
  out << call.function << "(" << call.detail << ", messenger=" << call.messenger
      << ", channel=\"" << call.channel << "\", data=";
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

EngineDouble::EngineDouble(EngineDoubleOptions options)
    : options_(options),
      previous_(current),
      messenger_(new FlutterDesktopMessenger{this}),
      alternate_(new FlutterDesktopMessenger{this}) {
  current = this;
}

EngineDouble::~EngineDouble() {
  current = previous_;
  delete messenger_;
  delete alternate_;
}

EngineDouble& EngineDouble::Current() {
  if (current == nullptr) {
    std::fputs("the engine was called without an EngineDouble\n", stderr);
    std::abort();
  }
  return *current;
}

std::unique_lock<std::mutex> EngineDouble::Guard() const {
  return options_.record_calls ? std::unique_lock<std::mutex>(state_mutex_)
                               : std::unique_lock<std::mutex>();
}

template <typename Fill>
void EngineDouble::Record(const char* function,
                          FlutterDesktopMessengerRef messenger, Fill fill) {
  if (!options_.record_calls) {
    return;
  }
  RecordedCall call;
  call.function = function;
  call.messenger = messenger;
  fill(call);
  const auto guard = Guard();
  calls_.push_back(std::move(call));
}

FlutterDesktopEngineRef EngineDouble::engine_handle() {
  return reinterpret_cast<FlutterDesktopEngineRef>(&engine_token_);
}

FlutterDesktopPluginRegistrarRef EngineDouble::registrar(
    const std::string& name) {
  return reinterpret_cast<FlutterDesktopPluginRegistrarRef>(
      &registrar_tokens_[name]);
}

const FlutterDesktopMessageResponseHandle* EngineDouble::Deliver(
    const char* channel, const std::vector<uint8_t>& message) {
  // Answering only, the one channel registered is served without a lookup.
  Registration registration = only_registration_;
  const int* handle = &only_response_handle_;
  if (options_.record_calls) {
    const auto guard = Guard();
    auto found = registrations_.find(std::string_view(channel));
    registration =
        found == registrations_.end() ? Registration{} : found->second;
    // A recorded response names the message it answers.
    response_handles_.push_back(static_cast<int>(response_handles_.size()));
    handle = &response_handles_.back();
  }
  if (registration.callback == nullptr) {
    return nullptr;
  }
  const auto* response_handle =
      reinterpret_cast<const FlutterDesktopMessageResponseHandle*>(handle);
  FlutterDesktopMessage record{sizeof(FlutterDesktopMessage), channel,
                               message.data(), message.size(), response_handle};
  registration.callback(messenger_, &record, registration.user_data);
  return response_handle;
}

bool EngineDouble::ReplyToOldestSend(const std::vector<uint8_t>& reply) {
  PendingSend send{};
  {
    const auto guard = Guard();
    if (pending_sends_.empty()) {
      return false;
    }
    send = pending_sends_.front();
    pending_sends_.pop_front();
  }
  send.reply(reply.data(), reply.size(), send.user_data);
  return true;
}

void EngineDouble::DrawFrame() {
  FlutterDesktopOnNextFrameCallback callback = next_frame_callback_;
  next_frame_callback_ = nullptr;
  if (callback != nullptr) {
    callback(next_frame_user_data_);
  }
}

std::vector<RecordedCall> EngineDouble::calls() const {
  const auto guard = Guard();
  return calls_;
}

std::vector<RecordedCall> EngineDouble::calls_to(
    const std::string& function) const {
  std::vector<RecordedCall> matching;
  for (const RecordedCall& call : calls()) {
    if (call.function == function) {
      matching.push_back(call);
    }
  }
  return matching;
}

std::vector<std::string> EngineDouble::call_lines() const {
  constexpr size_t kPrefixLength = sizeof("FlutterDesktop") - 1;
  std::vector<std::string> lines;
  for (const RecordedCall& call : calls()) {
    lines.push_back(call.function.substr(kPrefixLength) +
                    (call.detail.empty() ? "" : ":" + call.detail));
  }
  return lines;
}

void EngineDouble::ClearCalls() {
  const auto guard = Guard();
  calls_.clear();
}

int EngineDouble::outstanding_references() const {
  const auto guard = Guard();
  return outstanding_references_;
}

std::vector<uint8_t> EngineDouble::last_response() const {
  return std::vector<uint8_t>(kept_response_.begin(),
                              kept_response_.begin() + kept_response_size_);
}

FlutterDesktopMessengerRef EngineDouble::Lock() {
  const FlutterDesktopMessengerRef token =
      answers_.lock_token.value_or(messenger_);
  // Without a token nobody would unlock, so no lock is taken; nor is one
  // where the double serves one thread.
  if (token != nullptr && options_.record_calls) {
    messenger_lock_.lock();
  }
  return token;
}

void EngineDouble::Unlock() {
  if (options_.record_calls) {
    messenger_lock_.unlock();
  }
}

void EngineDouble::AddReference(int delta) {
  const auto guard = Guard();
  outstanding_references_ += delta;
}

void EngineDouble::SetCallback(const char* channel,
                               FlutterDesktopMessageCallback callback,
                               void* user_data) {
  const auto guard = Guard();
  if (callback == nullptr) {
    registrations_.erase(channel);
  } else {
    registrations_[channel] = Registration{callback, user_data};
  }
  only_registration_ = registrations_.size() == 1
                           ? registrations_.begin()->second
                           : Registration{};
}

void EngineDouble::AddPendingSend(FlutterDesktopBinaryReply reply,
                                  void* user_data) {
  const auto guard = Guard();
  pending_sends_.push_back(PendingSend{reply, user_data});
}

void EngineDouble::Respond(const uint8_t* data, size_t size) {
  const auto guard = Guard();
  ++responses_;
  last_response_first_byte_ = data != nullptr && size != 0 ? data[0] : -1;
  kept_response_size_ = data != nullptr ? std::min(size, kKeptBytes) : 0;
  std::copy_n(data, kept_response_size_, kept_response_.begin());
}

void EngineDouble::SetNextFrameCallback(
    FlutterDesktopOnNextFrameCallback callback, void* user_data) {
  next_frame_callback_ = callback;
  next_frame_user_data_ = user_data;
}

namespace {

// The functions given an engine, controller or view handle record whether
// it was null, and `more` of their arguments.
void RecordHandle(const char* function, const void* handle,
                  const std::string& more = "") {
  EngineDouble::Current().Record(function, nullptr, [&](RecordedCall& call) {
    call.detail = HandleName(handle) + more;
  });
}

}  // namespace

}  // namespace lq_test

using lq_test::EngineDouble;
using lq_test::EngineOf;
using lq_test::HandleName;
using lq_test::RecordedCall;
using lq_test::RecordHandle;

extern "C" {

FlutterDesktopEngineRef FlutterDesktopEngineCreate(
    const FlutterDesktopEngineProperties* properties) {
  EngineDouble& engine = EngineDouble::Current();
  engine.Record(__func__, nullptr, [](RecordedCall&) {});
  lq_test::RecordedProperties& seen = engine.seen_properties();
  seen.assets_path = properties->assets_path;
  seen.icu_data_path = properties->icu_data_path;
  seen.aot_library_path = properties->aot_library_path;
  seen.entrypoint_is_null = properties->entrypoint == nullptr;
  if (properties->entrypoint != nullptr) {
    seen.entrypoint = properties->entrypoint;
  }
  seen.argc = properties->entrypoint_argc;
  seen.argv_is_null = properties->entrypoint_argv == nullptr;
  for (int32_t i = 0; !seen.argv_is_null && i < seen.argc; ++i) {
    seen.arguments.emplace_back(properties->entrypoint_argv[i]);
  }
  seen.option_1 = properties->engine_option_1;
  seen.option_2 = properties->engine_option_2;
  return engine.answers().create_engine ? engine.engine_handle() : nullptr;
}

bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine) {
  RecordHandle(__func__, engine);
  return true;
}

FlutterDesktopMessengerRef FlutterDesktopEngineGetMessenger(
    FlutterDesktopEngineRef engine) {
  RecordHandle(__func__, engine);
  return engine == nullptr ? nullptr : EngineDouble::Current().messenger();
}

FlutterDesktopPluginRegistrarRef FlutterDesktopEngineGetPluginRegistrar(
    FlutterDesktopEngineRef engine, const char* plugin_name) {
  RecordHandle(__func__, engine, std::string(":") + plugin_name);
  return EngineDouble::Current().registrar(plugin_name);
}

void FlutterDesktopEngineReloadSystemFonts(FlutterDesktopEngineRef engine) {
  RecordHandle(__func__, engine);
}

void FlutterDesktopEngineSetNextFrameCallback(
    FlutterDesktopEngineRef engine, FlutterDesktopOnNextFrameCallback callback,
    void* user_data) {
  RecordHandle(__func__, engine);
  EngineDouble::Current().SetNextFrameCallback(callback, user_data);
}

FlutterDesktopViewControllerRef FlutterDesktopViewControllerCreate(
    int32_t width, int32_t height, FlutterDesktopEngineRef engine) {
  EngineDouble::Current().Record(__func__, nullptr, [&](RecordedCall& call) {
    call.detail = std::to_string(width) + "x" + std::to_string(height) + ":" +
                  HandleName(engine);
  });
  return EngineDouble::Current().answers().create_view_controller
             ? reinterpret_cast<FlutterDesktopViewControllerRef>(
                   &lq_test::controller_token)
             : nullptr;
}

void FlutterDesktopViewControllerDestroy(
    FlutterDesktopViewControllerRef controller) {
  RecordHandle(__func__, controller);
}

FlutterDesktopViewRef FlutterDesktopViewControllerGetView(
    FlutterDesktopViewControllerRef controller) {
  RecordHandle(__func__, controller);
  return reinterpret_cast<FlutterDesktopViewRef>(&lq_test::view_token);
}

void FlutterDesktopViewControllerForceRedraw(
    FlutterDesktopViewControllerRef controller) {
  RecordHandle(__func__, controller);
}

#if defined(_WIN32)
bool FlutterDesktopViewControllerHandleTopLevelWindowProc(
    FlutterDesktopViewControllerRef controller, HWND /*hwnd*/, UINT message,
    WPARAM /*wparam*/, LPARAM /*lparam*/, LRESULT* result) {
  RecordHandle(__func__, controller, ":" + std::to_string(message));
  const EngineDouble::Answers& answers = EngineDouble::Current().answers();
  if (answers.handle_window_messages) {
    *result = answers.window_message_result;
  }
  return answers.handle_window_messages;
}

HWND FlutterDesktopViewGetHWND(FlutterDesktopViewRef view) {
  RecordHandle(__func__, view);
  return static_cast<HWND>(EngineDouble::Current().answers().view_window);
}

UINT FlutterDesktopGetDpiForMonitor(HMONITOR /*monitor*/) {
  EngineDouble::Current().Record(__func__, nullptr, [](RecordedCall&) {});
  return EngineDouble::Current().answers().dpi;
}
#endif

void FlutterDesktopResyncOutputStreams(void) {
  EngineDouble::Current().Record(__func__, nullptr, [](RecordedCall&) {});
}

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger,
                                 const char* channel, const uint8_t* message,
                                 size_t message_size) {
  EngineOf(messenger).Record(__func__, messenger, [&](RecordedCall& call) {
    call.channel = channel;
    call.data = lq_test::CopyBytes(message, message_size);
    call.size = message_size;
  });
  return true;
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger,
                                          const char* channel,
                                          const uint8_t* message,
                                          size_t message_size,
                                          FlutterDesktopBinaryReply reply,
                                          void* user_data) {
  EngineDouble& engine = EngineOf(messenger);
  engine.Record(__func__, messenger, [&](RecordedCall& call) {
    call.channel = channel;
    call.data = lq_test::CopyBytes(message, message_size);
    call.size = message_size;
    call.reply = reply;
    call.user_data = user_data;
  });
  if (!engine.answers().send_with_reply_accepted) {
    return false;
  }
  engine.AddPendingSend(reply, user_data);
  return true;
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger,
                                        const char* channel,
                                        FlutterDesktopMessageCallback callback,
                                        void* user_data) {
  EngineDouble& engine = EngineOf(messenger);
  engine.Record(__func__, messenger, [&](RecordedCall& call) {
    call.channel = channel;
    call.callback = callback;
    call.user_data = user_data;
  });
  engine.SetCallback(channel, callback, user_data);
}

void FlutterDesktopMessengerSendResponse(
    FlutterDesktopMessengerRef messenger,
    const FlutterDesktopMessageResponseHandle* handle, const uint8_t* data,
    size_t data_length) {
  EngineDouble& engine = EngineOf(messenger);
  engine.Record(__func__, messenger, [&](RecordedCall& call) {
    call.data = lq_test::CopyBytes(data, data_length);
    call.size = data_length;
    call.response_handle = handle;
  });
  engine.Respond(data, data_length);
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(
    FlutterDesktopMessengerRef messenger) {
  EngineOf(messenger).Record(__func__, messenger, [](RecordedCall&) {});
  EngineOf(messenger).AddReference(1);
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  EngineOf(messenger).Record(__func__, messenger, [](RecordedCall&) {});
  EngineOf(messenger).AddReference(-1);
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  EngineOf(messenger).Record(__func__, messenger, [](RecordedCall&) {});
  return EngineOf(messenger).answers().available;
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(
    FlutterDesktopMessengerRef messenger) {
  EngineOf(messenger).Record(__func__, messenger, [](RecordedCall&) {});
  return EngineOf(messenger).Lock();
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  EngineOf(messenger).Record(__func__, messenger, [](RecordedCall&) {});
  EngineOf(messenger).Unlock();
}

}  // extern "C"
