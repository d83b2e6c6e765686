#pragma once

#include <functional>
#include <memory>
#include <string>

#include "host/engine_project.h"
#include "host/flutter_windows.h"
#include "host/plugin_registry.h"
#include "messaging/binary_messenger.h"

namespace flutter {

// Starts the engine from a project and owns its handle until a view
// controller takes it over (ReleaseHandle). Owns the engine's messenger and
// the pending one-shot next-frame action.
class FlutterEngine : public PluginRegistry {
 public:
  explicit FlutterEngine(const EngineProject& project);
  ~FlutterEngine() override;

  FlutterEngine(const FlutterEngine&) = delete;
  FlutterEngine& operator=(const FlutterEngine&) = delete;

  // Empty, after one diagnostic line, when there is no engine handle.
  FlutterDesktopPluginRegistrarRef RegistrarForPlugin(
      const std::string& plugin_name) override;

  void ReloadSystemFonts();

  // Runs `callback` once, after the engine's next frame. Replaces (and
  // destroys unrun) an action still pending.
  void SetNextFrameCallback(std::function<void()> callback);

  // Gives up ownership of the handle; it stays stored for later lookups.
  FlutterDesktopEngineRef ReleaseHandle();

  BinaryMessenger* Messenger() const { return messenger_.get(); }

 private:
  static void OnNextFrame(void* user_data);

  FlutterDesktopEngineRef engine_handle_ = nullptr;
  std::unique_ptr<BinaryMessenger> messenger_;
  bool owns_handle_ = true;
  std::function<void()> next_frame_callback_;
};

}  // namespace flutter
