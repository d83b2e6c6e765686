// The Windows-only exports: the view controller, its view window, the test
// port, top-level window messages and monitor DPI.

#include <memory>
#include <string>
#include <utility>

#include "codec/diagnostics.h"
#include "host/flutter_windows.h"
#include "sim/engine/engine_trace.h"
#include "sim/engine/platform.h"
#include "sim/engine/simulated_engine.h"
#include "sim/engine/simulated_engine_hooks.h"
#include "sim/engine/stand_in_view_win.h"
#include "sim/engine/test_port_win.h"

using lanternquill::sim::EngineTrace;
using lanternquill::sim::PendingReply;
using lanternquill::sim::PortRequest;
using lanternquill::sim::StandInView;
using lanternquill::sim::TestPort;
using lanternquill::sim::TraceCall;
using lanternquill::sim::TraceLine;

struct FlutterDesktopView {
  HWND window = nullptr;
};

struct FlutterDesktopViewController {
  // Destroyed in reverse: the port stops first (it posts to the engine's
  // queue and the view's window), then the view, then the engine.
  std::unique_ptr<FlutterDesktopEngine> engine;
  std::unique_ptr<StandInView> stand_in;
  FlutterDesktopView view;
  std::unique_ptr<TestPort> port;
};

namespace {

constexpr char kPortVariable[] = "LANTERNQUILL_ENGINE_PORT";

std::unique_ptr<TestPort> StartPortFromEnvironment(FlutterDesktopEngine* engine,
                                                   HWND view) {
  const std::optional<std::string> text =
      lanternquill::sim::EnvironmentVariable(kPortVariable);
  if (!text || text->empty()) return nullptr;
  const std::optional<uint16_t> port =
      lanternquill::sim::ParsePortNumber(*text);
  if (!port) {
    flutter::WriteDiagnosticLine("simulated engine: invalid port number " +
                                 *text + " in " + kPortVariable);
    return nullptr;
  }
  TestPort::Handlers handlers;
  handlers.deliver = [engine](PortRequest request) {
    auto pending = std::make_shared<PendingReply>();
    // Runs on the UI thread; the port is stopped before the engine goes, and
    // a queued delivery is dropped with the engine's queue.
    engine->tasks().Post([engine, pending, request = std::move(request)] {
      const auto delivery =
          engine->DeliverFromUi(request.channel, request.message,
                                [pending](const uint8_t* data, size_t size) {
                                  pending->Respond(data, size);
                                });
      if (delivery == FlutterDesktopMessenger::Delivery::kNoCallback) {
        pending->NoCallback();
      } else {
        pending->CallbackReturned();
      }
    });
    return pending;
  };
  handlers.close = [view] {
    PostMessageW(GetAncestor(view, GA_ROOT), WM_CLOSE, 0, 0);
  };
  return TestPort::Start(*port, std::move(handlers));
}

using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI

UINT DpiOfMonitor(HMONITOR monitor) {
  // Looked up at run time: shcore is missing on old systems, and then the
  // system-wide DPI is the answer.
  HMODULE shcore = LoadLibraryW(L"shcore.dll");
  if (shcore != nullptr) {
    auto get_dpi = reinterpret_cast<GetDpiForMonitorFunction>(
        reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
    UINT dpi_x = 0;
    UINT dpi_y = 0;
    const bool found =
        get_dpi != nullptr &&
        SUCCEEDED(get_dpi(monitor, kEffectiveDpi, &dpi_x, &dpi_y));
    FreeLibrary(shcore);
    if (found && dpi_x != 0) return dpi_x;
  }
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace

FlutterDesktopViewControllerRef FlutterDesktopViewControllerCreate(
    int32_t width, int32_t height, FlutterDesktopEngineRef engine) {
  // Owned from here on, whatever happens: the host never destroys an engine
  // it has handed over.
  std::unique_ptr<FlutterDesktopEngine> owned(engine);
  try {
    EngineTrace::Instance().Write(
        TraceLine("FlutterDesktopViewControllerCreate")
            .Int("width", width)
            .Int("height", height));
    if (!owned || owned->ui_window() == nullptr) return nullptr;
    auto controller = std::make_unique<FlutterDesktopViewController>();
    controller->engine = std::move(owned);
    controller->stand_in =
        StandInView::Create(static_cast<HWND>(controller->engine->ui_window()),
                            width, height, controller->engine.get());
    if (!controller->stand_in) return nullptr;
    controller->view.window = controller->stand_in->window();
    controller->port = StartPortFromEnvironment(controller->engine.get(),
                                                controller->view.window);
    return controller.release();
  } catch (...) {
    return nullptr;
  }
}

void FlutterDesktopViewControllerDestroy(
    FlutterDesktopViewControllerRef controller) {
  try {
    TraceCall("FlutterDesktopViewControllerDestroy");
    delete controller;
  } catch (...) {
  }
}

FlutterDesktopViewRef FlutterDesktopViewControllerGetView(
    FlutterDesktopViewControllerRef controller) {
  try {
    TraceCall("FlutterDesktopViewControllerGetView");
    return controller == nullptr ? nullptr : &controller->view;
  } catch (...) {
    return nullptr;
  }
}

void FlutterDesktopViewControllerForceRedraw(
    FlutterDesktopViewControllerRef controller) {
  try {
    TraceCall("FlutterDesktopViewControllerForceRedraw");
    if (controller != nullptr) controller->stand_in->ForceRedraw();
  } catch (...) {
  }
}

bool FlutterDesktopViewControllerHandleTopLevelWindowProc(
    FlutterDesktopViewControllerRef controller, HWND /*hwnd*/, UINT message,
    WPARAM /*wparam*/, LPARAM /*lparam*/, LRESULT* result) {
  // Not traced: every message of the host's window passes through here.
  // Nothing here can throw (a C function and comparisons), so unlike the
  // other exports it needs no catch: one would be unreachable code.
  static const UINT claimed =
      RegisterWindowMessageW(LANTERNQUILL_SIM_CLAIMED_MESSAGE_NAME);
  if (controller == nullptr || claimed == 0 || message != claimed) {
    return false;
  }
  if (result != nullptr) *result = LANTERNQUILL_SIM_CLAIMED_MESSAGE_RESULT;
  return true;
}

HWND FlutterDesktopViewGetHWND(FlutterDesktopViewRef view) {
  try {
    TraceCall("FlutterDesktopViewGetHWND");
    return view == nullptr ? nullptr : view->window;
  } catch (...) {
    return nullptr;
  }
}

UINT FlutterDesktopGetDpiForMonitor(HMONITOR monitor) {
  try {
    TraceCall("FlutterDesktopGetDpiForMonitor");
    return DpiOfMonitor(monitor);
  } catch (...) {
    return 96;
  }
}
