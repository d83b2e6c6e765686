#pragma once

// The flat interface of the engine library flutter_windows.dll: opaque
// handles and plain functions. Strings cross it NUL-terminated: names and
// entry-point arguments as UTF-8, file paths as UTF-16.

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "host/flutter_export.h"
#include "host/flutter_messenger.h"

#if defined(_WIN32)
#include <windows.h>
#endif

#if defined(__cplusplus)
extern "C" {
#endif

typedef struct FlutterDesktopEngine* FlutterDesktopEngineRef;
typedef struct FlutterDesktopViewController* FlutterDesktopViewControllerRef;
typedef struct FlutterDesktopView* FlutterDesktopViewRef;
typedef struct FlutterDesktopPluginRegistrar* FlutterDesktopPluginRegistrarRef;

// What the engine runs. Needed only during FlutterDesktopEngineCreate.
typedef struct {
  const wchar_t* assets_path;
  const wchar_t* icu_data_path;
  const wchar_t* aot_library_path;
  // Never null: the empty string names the engine's default entry point.
  const char* entrypoint;
  int32_t entrypoint_argc;
  // Null when there are no arguments.
  const char** entrypoint_argv;
  int32_t engine_option_1;
  int32_t engine_option_2;
} FlutterDesktopEngineProperties;

typedef void (*FlutterDesktopOnNextFrameCallback)(void* user_data);

FLUTTER_EXPORT FlutterDesktopEngineRef
FlutterDesktopEngineCreate(const FlutterDesktopEngineProperties* properties);
FLUTTER_EXPORT bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine);
FLUTTER_EXPORT FlutterDesktopMessengerRef
FlutterDesktopEngineGetMessenger(FlutterDesktopEngineRef engine);
FLUTTER_EXPORT FlutterDesktopPluginRegistrarRef
FlutterDesktopEngineGetPluginRegistrar(FlutterDesktopEngineRef engine,
                                       const char* plugin_name);
FLUTTER_EXPORT void FlutterDesktopEngineReloadSystemFonts(
    FlutterDesktopEngineRef engine);
// Calls `callback` once, on the UI thread, after the next frame.
FLUTTER_EXPORT void FlutterDesktopEngineSetNextFrameCallback(
    FlutterDesktopEngineRef engine, FlutterDesktopOnNextFrameCallback callback,
    void* user_data);

// Takes over `engine`: runs it and releases it with the view controller.
FLUTTER_EXPORT FlutterDesktopViewControllerRef
FlutterDesktopViewControllerCreate(int32_t width, int32_t height,
                                   FlutterDesktopEngineRef engine);
FLUTTER_EXPORT void FlutterDesktopViewControllerDestroy(
    FlutterDesktopViewControllerRef controller);
FLUTTER_EXPORT FlutterDesktopViewRef
FlutterDesktopViewControllerGetView(FlutterDesktopViewControllerRef controller);
FLUTTER_EXPORT void FlutterDesktopViewControllerForceRedraw(
    FlutterDesktopViewControllerRef controller);

#if defined(_WIN32)
// True when the engine handled the message; `result` then holds its answer.
FLUTTER_EXPORT bool FlutterDesktopViewControllerHandleTopLevelWindowProc(
    FlutterDesktopViewControllerRef controller, HWND hwnd, UINT message,
    WPARAM wparam, LPARAM lparam, LRESULT* result);
FLUTTER_EXPORT HWND FlutterDesktopViewGetHWND(FlutterDesktopViewRef view);
// Dots per inch of the monitor; 96 at 100 % scaling.
FLUTTER_EXPORT UINT FlutterDesktopGetDpiForMonitor(HMONITOR monitor);
#endif

// Re-synchronises the engine's output with a newly opened console.
FLUTTER_EXPORT void FlutterDesktopResyncOutputStreams(void);

#if defined(__cplusplus)
}  // extern "C"
#endif
