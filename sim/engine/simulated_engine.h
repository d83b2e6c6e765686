#pragma once

// The engine's bookkeeping: what the properties record named, the messenger,
// registrars, the next-frame callback and the UI-thread task queue. The view
// (a window) is Windows-only and lives in view_controller_win.cc.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/flutter_windows.h"
#include "sim/engine/input_call_log.h"
#include "sim/engine/platform.h"
#include "sim/engine/simulated_messenger.h"
#include "sim/engine/task_queue.h"

struct FlutterDesktopPluginRegistrar {
  int id;
};

namespace lanternquill::sim {

// A relative path is taken from `base` (the executable's folder), as the
// host passes "data\flutter_assets" without resolving it.
std::filesystem::path ResolveAgainst(const std::filesystem::path& path,
                                     const std::filesystem::path& base);

// The registrar's id, or nothing for a pointer that no living engine handed
// out; lets the plugins' trace hook accept any pointer safely.
std::optional<int> RegistrarId(const FlutterDesktopPluginRegistrar* registrar);

}  // namespace lanternquill::sim

struct FlutterDesktopEngine {
 public:
  // Empty when the assets folder does not exist.
  static std::unique_ptr<FlutterDesktopEngine> Create(
      const FlutterDesktopEngineProperties& properties,
      const std::filesystem::path& executable_directory);

  FlutterDesktopEngine(const FlutterDesktopEngine&) = delete;
  FlutterDesktopEngine& operator=(const FlutterDesktopEngine&) = delete;
  // Shuts the messenger down and drops queued UI work unrun.
  ~FlutterDesktopEngine();

  FlutterDesktopMessenger* messenger() const { return messenger_; }
  lanternquill::sim::TaskQueue& tasks() { return tasks_; }
  const std::shared_ptr<lanternquill::sim::InputCallLog>& input_log() const {
    return input_log_;
  }
  const std::filesystem::path& assets_path() const { return assets_path_; }
  const std::vector<std::string>& arguments() const { return arguments_; }
  // Null natively, where no window receives the UI thread's wake-ups.
  void* ui_window() const {
    return ui_binding_ ? ui_binding_->NativeWindow() : nullptr;
  }

  // One stable registrar per name, ids 1, 2, 3... in first-request order.
  FlutterDesktopPluginRegistrar* Registrar(const std::string& plugin_name);

  void SetNextFrameCallback(FlutterDesktopOnNextFrameCallback callback,
                            void* user_data);
  // The view has painted: a pending next-frame callback is posted to run
  // once on the UI thread.
  void FramePainted();

  // A message from the UI, delivered on the calling (UI) thread; input
  // channel calls and their replies are logged for the stand-in UI.
  FlutterDesktopMessenger::Delivery DeliverFromUi(
      const std::string& channel, const std::vector<uint8_t>& message,
      FlutterDesktopMessenger::ResponseSink sink);

 private:
  FlutterDesktopEngine() = default;

  std::filesystem::path assets_path_;
  std::filesystem::path icu_data_path_;
  std::filesystem::path aot_library_path_;
  std::string entrypoint_;
  std::vector<std::string> arguments_;
  lanternquill::sim::TaskQueue tasks_;
  FlutterDesktopMessenger* messenger_ = nullptr;
  std::shared_ptr<lanternquill::sim::InputCallLog> input_log_ =
      std::make_shared<lanternquill::sim::InputCallLog>();
  std::map<std::string, std::unique_ptr<FlutterDesktopPluginRegistrar>>
      registrars_;
  FlutterDesktopOnNextFrameCallback next_frame_callback_ = nullptr;
  void* next_frame_user_data_ = nullptr;
  // Declared last: destroyed first, so the UI thread stops running the queue
  // before anything it could touch is gone.
  std::unique_ptr<lanternquill::sim::UiThreadBinding> ui_binding_;
};
