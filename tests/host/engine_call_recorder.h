#pragma once

// A recording stand-in for the engine and view-controller functions of the
// engine interface (the messenger functions come from the messaging tests'
// recorder). Tests read the calls it saw and choose what it answers.

#include <cstdint>
#include <string>
#include <vector>

#include "host/flutter_windows.h"

namespace host_test {

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

struct EngineCallRecorder {
  // Answers.
  bool create_engine = true;
  bool create_view_controller = true;
  bool handle_window_messages = false;
  intptr_t window_message_result = 0;
  uint32_t dpi = 96;
  // The view's native window (an HWND); none by default.
  void* view_window = nullptr;
  // The engine's messenger, for tests that install channels on it; by
  // default a token that no messenger function may be given.
  FlutterDesktopMessengerRef messenger = nullptr;

  // Observations: one entry per call, "Name" or "Name:detail".
  std::vector<std::string> calls;
  RecordedProperties properties;
  FlutterDesktopOnNextFrameCallback next_frame_callback = nullptr;
  void* next_frame_user_data = nullptr;

  // Runs the stored next-frame callback as the engine would after a frame.
  void DrawFrame();
};

// The recorder the functions write to; fresh for each test.
EngineCallRecorder& Recorder();
void ResetRecorder();

// The fixed handles the recorder hands out.
FlutterDesktopEngineRef RecordedEngineHandle();
FlutterDesktopViewControllerRef RecordedControllerHandle();
FlutterDesktopPluginRegistrarRef RecordedRegistrar(const std::string& name);

}  // namespace host_test
