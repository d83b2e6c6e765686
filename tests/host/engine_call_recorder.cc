#include "tests/host/engine_call_recorder.h"

#include <map>

namespace host_test {
namespace {

EngineCallRecorder recorder;

// Distinct addresses that stand for the opaque handles.
char engine_token;
char controller_token;
char view_token;
char messenger_token;
std::map<std::string, char> registrar_tokens;

}  // namespace

EngineCallRecorder& Recorder() { return recorder; }

void ResetRecorder() {
  recorder = EngineCallRecorder();
  registrar_tokens.clear();
}

void EngineCallRecorder::DrawFrame() {
  FlutterDesktopOnNextFrameCallback callback = next_frame_callback;
  next_frame_callback = nullptr;
  if (callback != nullptr) {
    callback(next_frame_user_data);
  }
}

FlutterDesktopEngineRef RecordedEngineHandle() {
  return reinterpret_cast<FlutterDesktopEngineRef>(&engine_token);
}

FlutterDesktopViewControllerRef RecordedControllerHandle() {
  return reinterpret_cast<FlutterDesktopViewControllerRef>(&controller_token);
}

FlutterDesktopPluginRegistrarRef RecordedRegistrar(const std::string& name) {
  return reinterpret_cast<FlutterDesktopPluginRegistrarRef>(
      &registrar_tokens[name]);
}

}  // namespace host_test

using host_test::recorder;

namespace {

std::string HandleName(const void* handle) {
  return handle == nullptr ? "null" : "handle";
}

}  // namespace

extern "C" {

FlutterDesktopEngineRef FlutterDesktopEngineCreate(
    const FlutterDesktopEngineProperties* properties) {
  recorder.calls.push_back("EngineCreate");
  host_test::RecordedProperties& seen = recorder.properties;
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
  return recorder.create_engine ? host_test::RecordedEngineHandle() : nullptr;
}

bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine) {
  recorder.calls.push_back("EngineDestroy:" + HandleName(engine));
  return true;
}

FlutterDesktopMessengerRef FlutterDesktopEngineGetMessenger(
    FlutterDesktopEngineRef engine) {
  recorder.calls.push_back("EngineGetMessenger:" + HandleName(engine));
  if (engine == nullptr) {
    return nullptr;
  }
  return recorder.messenger != nullptr
             ? recorder.messenger
             : reinterpret_cast<FlutterDesktopMessengerRef>(
                   &host_test::messenger_token);
}

FlutterDesktopPluginRegistrarRef FlutterDesktopEngineGetPluginRegistrar(
    FlutterDesktopEngineRef engine, const char* plugin_name) {
  recorder.calls.push_back("EngineGetPluginRegistrar:" + HandleName(engine) +
                           ":" + plugin_name);
  return host_test::RecordedRegistrar(plugin_name);
}

void FlutterDesktopEngineReloadSystemFonts(FlutterDesktopEngineRef engine) {
  recorder.calls.push_back("EngineReloadSystemFonts:" + HandleName(engine));
}

void FlutterDesktopEngineSetNextFrameCallback(
    FlutterDesktopEngineRef engine, FlutterDesktopOnNextFrameCallback callback,
    void* user_data) {
  recorder.calls.push_back("EngineSetNextFrameCallback:" + HandleName(engine));
  recorder.next_frame_callback = callback;
  recorder.next_frame_user_data = user_data;
}

FlutterDesktopViewControllerRef FlutterDesktopViewControllerCreate(
    int32_t width, int32_t height, FlutterDesktopEngineRef engine) {
  recorder.calls.push_back("ViewControllerCreate:" + std::to_string(width) +
                           "x" + std::to_string(height) + ":" +
                           HandleName(engine));
  return recorder.create_view_controller ? host_test::RecordedControllerHandle()
                                         : nullptr;
}

void FlutterDesktopViewControllerDestroy(
    FlutterDesktopViewControllerRef controller) {
  recorder.calls.push_back("ViewControllerDestroy:" + HandleName(controller));
}

FlutterDesktopViewRef FlutterDesktopViewControllerGetView(
    FlutterDesktopViewControllerRef controller) {
  recorder.calls.push_back("ViewControllerGetView:" + HandleName(controller));
  return reinterpret_cast<FlutterDesktopViewRef>(&host_test::view_token);
}

void FlutterDesktopViewControllerForceRedraw(
    FlutterDesktopViewControllerRef controller) {
  recorder.calls.push_back("ViewControllerForceRedraw:" +
                           HandleName(controller));
}

#if defined(_WIN32)
bool FlutterDesktopViewControllerHandleTopLevelWindowProc(
    FlutterDesktopViewControllerRef controller, HWND /*hwnd*/, UINT message,
    WPARAM /*wparam*/, LPARAM /*lparam*/, LRESULT* result) {
  recorder.calls.push_back(
      "ViewControllerHandleTopLevelWindowProc:" + HandleName(controller) + ":" +
      std::to_string(message));
  if (recorder.handle_window_messages) {
    *result = recorder.window_message_result;
  }
  return recorder.handle_window_messages;
}

HWND FlutterDesktopViewGetHWND(FlutterDesktopViewRef view) {
  recorder.calls.push_back("ViewGetHWND:" + HandleName(view));
  return static_cast<HWND>(recorder.view_window);
}

UINT FlutterDesktopGetDpiForMonitor(HMONITOR /*monitor*/) {
  recorder.calls.push_back("GetDpiForMonitor");
  return recorder.dpi;
}
#endif

void FlutterDesktopResyncOutputStreams(void) {
  recorder.calls.push_back("ResyncOutputStreams");
}

}  // extern "C"
