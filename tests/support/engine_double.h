#pragma once

// A double of the engine interface (engine, view controller and messenger),
// linked into a test program instead of any engine library. It records every
// call with its arguments, in order, and lets a test choose its answers and
// deliver messages. Told not to record, it only answers: its answering path
// (delivery, lock, references, response) then neither allocates nor locks,
// so a benchmark measures the host's side of a call alone and a test that
// makes allocations fail fails only the host's; it then serves one thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "host/flutter_windows.h"

namespace lq_test {

struct RecordedCall {
  std::string function;  // e.g. "FlutterDesktopMessengerSetCallback"
  // An engine or view function's arguments, e.g. "handle:SystemTrayPlugin".
  std::string detail;
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

// What FlutterDesktopEngineCreate saw, copied during the call.
struct RecordedProperties {
  std::wstring assets_path;
  std::wstring icu_data_path;
  std::wstring aot_library_path;
  bool entrypoint_is_null = true;
  std::string entrypoint;
  int32_t argc = -1;
  bool argv_is_null = true;
  std::vector<std::string> arguments;
  int32_t option_1 = -1;
  int32_t option_2 = -1;
};

struct EngineDoubleOptions {
  // False: the double only answers, as above, and delivers only while one
  // channel is registered.
  bool record_calls = true;
};

class EngineDouble {
 public:
  // What the functions answer; a test changes them while no other thread
  // calls the engine.
  struct Answers {
    bool create_engine = true;
    bool create_view_controller = true;
    bool handle_window_messages = false;
    intptr_t window_message_result = 0;
    uint32_t dpi = 96;
    // The view's native window (an HWND); none by default.
    void* view_window = nullptr;
    bool send_with_reply_accepted = true;
    bool available = true;
    // Lock's token, by default the messenger; null: Lock takes no lock.
    std::optional<FlutterDesktopMessengerRef> lock_token;
  };

  explicit EngineDouble(EngineDoubleOptions options = {});
  ~EngineDouble();

  EngineDouble(const EngineDouble&) = delete;
  EngineDouble& operator=(const EngineDouble&) = delete;

  // The double made last that still lives, which the functions given no
  // handle (engine creation, the monitor's DPI) answer from.
  static EngineDouble& Current();

  Answers& answers() { return answers_; }

  FlutterDesktopEngineRef engine_handle();
  FlutterDesktopPluginRegistrarRef registrar(const std::string& name);
  FlutterDesktopMessengerRef messenger() const { return messenger_; }
  // A second handle, usable as a distinct lock token.
  FlutterDesktopMessengerRef alternate_handle() const { return alternate_; }

  // Delivers a message on `channel` to its registered callback, as the engine
  // does on the UI thread; returns its response handle, or null when no
  // callback is registered.
  const FlutterDesktopMessageResponseHandle* Deliver(
      const char* channel, const std::vector<uint8_t>& message);
  // Answers the oldest accepted SendWithReply; false when none is pending.
  bool ReplyToOldestSend(const std::vector<uint8_t>& reply);
  // Runs the stored next-frame callback as the engine would after a frame.
  void DrawFrame();

  std::vector<RecordedCall> calls() const;
  std::vector<RecordedCall> calls_to(const std::string& function) const;
  // Every call as "Name" or "Name:detail", without "FlutterDesktop".
  std::vector<std::string> call_lines() const;
  void ClearCalls();
  const RecordedProperties& properties() const { return properties_; }
  FlutterDesktopOnNextFrameCallback next_frame_callback() const {
    return next_frame_callback_;
  }
  void* next_frame_user_data() const { return next_frame_user_data_; }
  // References taken by AddRef and not yet released.
  int outstanding_references() const;
  // Responses sent so far, the last one's first byte (-1 for none or empty)
  // and its bytes, up to the first 64.
  uint64_t responses() const { return responses_; }
  int last_response_first_byte() const { return last_response_first_byte_; }
  std::vector<uint8_t> last_response() const;

  // For the C functions. Record calls `fill` to add the arguments, and only
  // while the double records.
  template <typename Fill>
  void Record(const char* function, FlutterDesktopMessengerRef messenger,
              Fill fill);
  FlutterDesktopMessengerRef Lock();
  void Unlock();
  void AddReference(int delta);
  void SetCallback(const char* channel, FlutterDesktopMessageCallback callback,
                   void* user_data);
  void AddPendingSend(FlutterDesktopBinaryReply reply, void* user_data);
  void Respond(const uint8_t* data, size_t size);
  void SetNextFrameCallback(FlutterDesktopOnNextFrameCallback callback,
                            void* user_data);
  RecordedProperties& seen_properties() { return properties_; }

 private:
  struct Registration {
    FlutterDesktopMessageCallback callback;
    void* user_data;
  };
  struct PendingSend {
    FlutterDesktopBinaryReply reply;
    void* user_data;
  };

  // Held while the double records; without, it serves one thread.
  std::unique_lock<std::mutex> Guard() const;

  EngineDoubleOptions options_;
  EngineDouble* previous_;
  Answers answers_;
  FlutterDesktopMessengerRef messenger_;
  FlutterDesktopMessengerRef alternate_;
  mutable std::mutex state_mutex_;
  std::mutex messenger_lock_;
  std::vector<RecordedCall> calls_;
  std::map<std::string, Registration, std::less<>> registrations_;
  std::deque<PendingSend> pending_sends_;
  std::deque<int> response_handles_;
  // The registration while there is exactly one, for delivery without a
  // lookup where the double only answers.
  Registration only_registration_{};
  int only_response_handle_ = 0;
  int outstanding_references_ = 0;
  uint64_t responses_ = 0;
  int last_response_first_byte_ = -1;
  static constexpr size_t kKeptBytes = 64;
  std::array<uint8_t, kKeptBytes> kept_response_{};
  size_t kept_response_size_ = 0;
  RecordedProperties properties_;
  FlutterDesktopOnNextFrameCallback next_frame_callback_ = nullptr;
  void* next_frame_user_data_ = nullptr;
  char engine_token_ = 0;
  std::map<std::string, char> registrar_tokens_;
};

}  // namespace lq_test
