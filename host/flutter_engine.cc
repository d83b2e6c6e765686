#include "host/flutter_engine.h"

#include <utility>
#include <vector>

#include "codec/diagnostics.h"
#include "messaging/binary_messenger_impl.h"

namespace flutter {

FlutterEngine::FlutterEngine(const EngineProject& project) {
  // The engine reads the record and everything it points to only during the
  // create call, so the pointer array can be a local.
  std::vector<const char*> argv;
  argv.reserve(project.entrypoint_arguments.size());
  for (const std::string& argument : project.entrypoint_arguments) {
    argv.push_back(argument.c_str());
  }

  FlutterDesktopEngineProperties properties = {};
  properties.assets_path = project.assets_path.c_str();
  properties.icu_data_path = project.icu_data_path.c_str();
  properties.aot_library_path = project.aot_library_path.c_str();
  properties.entrypoint = project.entrypoint.c_str();
  properties.entrypoint_argc = static_cast<int32_t>(argv.size());
  properties.entrypoint_argv = argv.empty() ? nullptr : argv.data();
  properties.engine_option_1 = project.engine_options[0];
  properties.engine_option_2 = project.engine_options[1];

  engine_handle_ = FlutterDesktopEngineCreate(&properties);
  messenger_ = std::make_unique<BinaryMessengerImpl>(
      FlutterDesktopEngineGetMessenger(engine_handle_));
}

FlutterEngine::~FlutterEngine() {
  if (engine_handle_ != nullptr && owns_handle_) {
    FlutterDesktopEngineDestroy(engine_handle_);
  }
  engine_handle_ = nullptr;
  next_frame_callback_ = nullptr;
  messenger_.reset();
}

FlutterDesktopPluginRegistrarRef FlutterEngine::RegistrarForPlugin(
    const std::string& plugin_name) {
  if (engine_handle_ == nullptr) {
    WriteDiagnosticLine(
        "Cannot get plugin registrar on an engine that isn't running; call "
        "Run first.");
    return nullptr;
  }
  return FlutterDesktopEngineGetPluginRegistrar(engine_handle_,
                                                plugin_name.c_str());
}

void FlutterEngine::ReloadSystemFonts() {
  FlutterDesktopEngineReloadSystemFonts(engine_handle_);
}

void FlutterEngine::SetNextFrameCallback(std::function<void()> callback) {
  next_frame_callback_ = std::move(callback);
  FlutterDesktopEngineSetNextFrameCallback(engine_handle_, &OnNextFrame, this);
}

FlutterDesktopEngineRef FlutterEngine::ReleaseHandle() {
  owns_handle_ = false;
  return engine_handle_;
}

void FlutterEngine::OnNextFrame(void* user_data) {
  // Called by the engine: nothing may propagate out of here.
  try {
    auto* engine = static_cast<FlutterEngine*>(user_data);
    // Taken out before it runs, so each action runs at most once and an
    // action that schedules another one does not erase it.
    std::function<void()> callback = std::move(engine->next_frame_callback_);
    engine->next_frame_callback_ = nullptr;
    if (callback) {
      callback();
    }
  } catch (...) {
  }
}

}  // namespace flutter
