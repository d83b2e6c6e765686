#pragma once

// The engine's messenger: per-channel callbacks towards the host, messages
// towards the UI, and the response handles of messages the host is
// answering. Reference counted; outlives the engine while the host holds
// references.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "host/flutter_messenger.h"

struct FlutterDesktopMessageResponseHandleOpaque {
  uint64_t serial;
};

namespace lanternquill::sim {
class TaskQueue;
}

struct FlutterDesktopMessenger {
 public:
  // Receives the host's response to one delivered message, exactly once if
  // the host answers; may run on any thread.
  using ResponseSink = std::function<void(const uint8_t* data, size_t size)>;

  enum class Delivery { kDelivered, kNoCallback };

  // Starts with one reference, the engine's. `tasks` runs on the UI thread.
  explicit FlutterDesktopMessenger(lanternquill::sim::TaskQueue* tasks);
  FlutterDesktopMessenger(const FlutterDesktopMessenger&) = delete;
  FlutterDesktopMessenger& operator=(const FlutterDesktopMessenger&) = delete;

  void AddRef();
  // Gives one reference back; the last one deletes the messenger.
  static void Release(FlutterDesktopMessenger* messenger);

  void Lock();
  void Unlock();
  bool IsAvailable() const;
  // The engine is going away: unavailable from now on, outstanding response
  // handles are forgotten and no more replies are scheduled.
  void Shutdown();

  // A null callback withdraws the channel's registration.
  void SetCallback(const char* channel, FlutterDesktopMessageCallback callback,
                   void* user_data);

  // Towards the UI, which has no handlers: the message is dropped and a
  // wanted reply comes back empty, later, on the UI thread.
  bool Send(const char* channel, FlutterDesktopBinaryReply reply,
            void* user_data);

  // Delivers a message from the UI to the channel's callback on the calling
  // thread, which must be the UI thread.
  Delivery DeliverFromUi(const std::string& channel, const uint8_t* data,
                         size_t size, ResponseSink sink);

  // False when the handle is unknown or already used.
  bool SendResponse(const FlutterDesktopMessageResponseHandle* handle,
                    const uint8_t* data, size_t size);

 private:
  struct Registration {
    FlutterDesktopMessageCallback callback;
    void* user_data;
  };
  struct Pending {
    std::unique_ptr<FlutterDesktopMessageResponseHandle> handle;
    ResponseSink sink;
  };

  ~FlutterDesktopMessenger() = default;

  std::atomic<int> references_{1};
  std::atomic<bool> available_{true};
  // The lock the host takes around its reply path.
  std::mutex host_lock_;
  // Guards the fields below; never held while calling into the host.
  std::mutex state_mutex_;
  lanternquill::sim::TaskQueue* tasks_;
  std::map<std::string, Registration> callbacks_;
  std::map<const FlutterDesktopMessageResponseHandle*, Pending> pending_;
  uint64_t next_serial_ = 1;
};
