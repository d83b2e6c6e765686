#pragma once

// A stand-in for the engine's messenger functions that records every call
// with its arguments, in order, and lets a test steer the results and deliver
// messages. Linked into a test executable instead of any engine library.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "host/flutter_messenger.h"

namespace lq_test {

struct RecordedCall {
  std::string function;  // e.g. "FlutterDesktopMessengerSetCallback"
  FlutterDesktopMessengerRef messenger = nullptr;
  std::string channel;
  // The bytes passed; absent when the pointer was null.
  std::optional<std::vector<uint8_t>> data;
  size_t size = 0;
  const FlutterDesktopMessageResponseHandle* response_handle = nullptr;
  FlutterDesktopMessageCallback callback = nullptr;
  FlutterDesktopBinaryReply reply = nullptr;
  void* user_data = nullptr;

  bool operator==(const RecordedCall& other) const;
};

std::ostream& operator<<(std::ostream& out, const RecordedCall& call);

// One engine messenger. Its handles are valid while the object lives.
class RecordingEngine {
 public:
  RecordingEngine();
  ~RecordingEngine();

  RecordingEngine(const RecordingEngine&) = delete;
  RecordingEngine& operator=(const RecordingEngine&) = delete;

  FlutterDesktopMessengerRef messenger() const { return messenger_; }

  // Results the engine gives.
  void set_send_with_reply_accepted(bool accepted);
  void set_available(bool available);
  // Null: Lock returns no token and takes no lock.
  void set_lock_token(FlutterDesktopMessengerRef token);
  // A second handle, usable as a distinct lock token.
  FlutterDesktopMessengerRef alternate_handle() const { return alternate_; }

  // Delivers a message on `channel` to its registered callback, as the engine
  // does on the UI thread; returns its response handle, or null when no
  // callback is registered.
  const FlutterDesktopMessageResponseHandle* Deliver(
      const std::string& channel, const std::vector<uint8_t>& message);

  // Answers the oldest accepted SendWithReply; false when none is pending.
  bool ReplyToOldestSend(const std::vector<uint8_t>& reply);

  std::vector<RecordedCall> calls() const;
  std::vector<std::string> function_names() const;
  std::vector<RecordedCall> calls_to(const std::string& function) const;
  void ClearCalls();
  // References taken by AddRef and not yet released.
  int outstanding_references() const;

  // Entry points for the C functions.
  void Record(RecordedCall call);
  bool send_with_reply_accepted() const;
  bool available() const;
  FlutterDesktopMessengerRef Lock();
  void Unlock();
  void AddReference(int delta);
  void SetCallback(const std::string& channel,
                   FlutterDesktopMessageCallback callback, void* user_data);
  void AddPendingSend(FlutterDesktopBinaryReply reply, void* user_data);

 private:
  struct Registration {
    FlutterDesktopMessageCallback callback;
    void* user_data;
  };
  struct PendingSend {
    FlutterDesktopBinaryReply reply;
    void* user_data;
  };

  FlutterDesktopMessengerRef messenger_;
  FlutterDesktopMessengerRef alternate_;
  mutable std::mutex state_mutex_;
  std::mutex messenger_lock_;
  std::vector<RecordedCall> calls_;
  std::map<std::string, Registration> registrations_;
  std::deque<PendingSend> pending_sends_;
  std::deque<int> response_handles_;
  bool send_with_reply_accepted_ = true;
  bool available_ = true;
  FlutterDesktopMessengerRef lock_token_;
  int outstanding_references_ = 0;
};

}  // namespace lq_test
