#pragma once

// Exports of the simulated engine beyond the engine interface, for the other
// stand-ins only. A build against the real engine does not build them.

#include "host/flutter_export.h"
#include "host/flutter_windows.h"

#if defined(__cplusplus)
extern "C" {
#endif

// Appends {"call": function_name, "registrar": <id of registrar>} to the
// engine trace, if one is being written.
FLUTTER_EXPORT void LanternquillSimTracePluginRegistration(
    const char* function_name, FlutterDesktopPluginRegistrarRef registrar);

#if defined(__cplusplus)
}  // extern "C"
#endif

// The one window message the simulated engine claims in
// FlutterDesktopViewControllerHandleTopLevelWindowProc: registered by this
// name, answered with kSimEngineClaimedMessageResult.
#define LANTERNQUILL_SIM_CLAIMED_MESSAGE_NAME \
  L"LanternquillSimulatedEngineMessage"
#define LANTERNQUILL_SIM_CLAIMED_MESSAGE_RESULT 0x4C51
