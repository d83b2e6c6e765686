#include "sim/engine/simulated_messenger.h"

#include <utility>

#include "sim/engine/engine_trace.h"
#include "sim/engine/task_queue.h"

using lanternquill::sim::TraceLine;

FlutterDesktopMessenger::FlutterDesktopMessenger(
    lanternquill::sim::TaskQueue* tasks)
    : tasks_(tasks) {}

void FlutterDesktopMessenger::AddRef() {
  references_.fetch_add(1, std::memory_order_relaxed);
}

void FlutterDesktopMessenger::Release(FlutterDesktopMessenger* messenger) {
  if (messenger->references_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    delete messenger;
  }
}

void FlutterDesktopMessenger::Lock() { host_lock_.lock(); }

void FlutterDesktopMessenger::Unlock() { host_lock_.unlock(); }

bool FlutterDesktopMessenger::IsAvailable() const { return available_.load(); }

void FlutterDesktopMessenger::Shutdown() {
  // Under the host's lock, so a reply in progress on another thread either
  // finishes before the engine goes or sees it unavailable.
  std::lock_guard<std::mutex> host(host_lock_);
  std::map<const FlutterDesktopMessageResponseHandle*, Pending> dropped;
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    available_ = false;
    tasks_ = nullptr;
    callbacks_.clear();
    dropped.swap(pending_);
  }
}

void FlutterDesktopMessenger::SetCallback(
    const char* channel, FlutterDesktopMessageCallback callback,
    void* user_data) {
  std::lock_guard<std::mutex> lock(state_mutex_);
  if (callback == nullptr) {
    callbacks_.erase(channel);
  } else {
    callbacks_[channel] = Registration{callback, user_data};
  }
}

bool FlutterDesktopMessenger::Send(const char* /*channel*/,
                                   FlutterDesktopBinaryReply reply,
                                   void* user_data) {
  std::lock_guard<std::mutex> lock(state_mutex_);
  if (!available_ || tasks_ == nullptr) {
    return false;
  }
  if (reply != nullptr) {
    // Posted, never run inside the send: the host may still be setting up
    // what the reply needs.
    tasks_->Post([reply, user_data] {
      lanternquill::sim::TraceCall("BinaryReply");
      reply(nullptr, 0, user_data);
    });
  }
  return true;
}

FlutterDesktopMessenger::Delivery FlutterDesktopMessenger::DeliverFromUi(
    const std::string& channel, const uint8_t* data, size_t size,
    ResponseSink sink) {
  Registration registration{};
  const FlutterDesktopMessageResponseHandle* handle = nullptr;
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    const auto found = callbacks_.find(channel);
    if (!available_ || found == callbacks_.end()) {
      return Delivery::kNoCallback;
    }
    registration = found->second;
    auto owned = std::make_unique<FlutterDesktopMessageResponseHandle>();
    owned->serial = next_serial_++;
    handle = owned.get();
    pending_.emplace(handle, Pending{std::move(owned), std::move(sink)});
  }
  const FlutterDesktopMessage message{sizeof(FlutterDesktopMessage),
                                      channel.c_str(), data, size, handle};
  lanternquill::sim::EngineTrace::Instance().Write(
      TraceLine("MessageCallback").String("channel", channel));
  registration.callback(this, &message, registration.user_data);
  return Delivery::kDelivered;
}

bool FlutterDesktopMessenger::SendResponse(
    const FlutterDesktopMessageResponseHandle* handle, const uint8_t* data,
    size_t size) {
  Pending pending;
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    const auto found = pending_.find(handle);
    if (found == pending_.end()) {
      return false;
    }
    pending = std::move(found->second);
    pending_.erase(found);
  }
  if (data == nullptr) {
    size = 0;
  }
  if (pending.sink) {
    pending.sink(size == 0 ? nullptr : data, size);
  }
  return true;
}
