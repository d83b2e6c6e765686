#pragma once

// Shared by the plugin stand-ins: export marking, and the one thing each of
// them does, recording its registration in the simulated engine's trace.

#include "host/flutter_windows.h"

#if defined(LQ_SIMULATED_ENGINE)
#include "sim/engine/simulated_engine_hooks.h"
#endif

#if defined(LQ_PLUGIN_IMPLEMENTATION)
#define LQ_PLUGIN_EXPORT extern "C" __declspec(dllexport)
#else
#define LQ_PLUGIN_EXPORT extern "C" __declspec(dllimport)
#endif

inline void RecordPluginRegistration(
    const char* function_name, FlutterDesktopPluginRegistrarRef registrar) {
  // Called by the host across a library boundary: nothing may escape.
  try {
#if defined(LQ_SIMULATED_ENGINE)
    LanternquillSimTracePluginRegistration(function_name, registrar);
#else
    (void)function_name;
    (void)registrar;
#endif
  } catch (...) {
  }
}
