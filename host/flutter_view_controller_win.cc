#include "host/flutter_view_controller.h"

#include "codec/diagnostics.h"

namespace flutter {

FlutterViewController::FlutterViewController(int32_t width, int32_t height,
                                             const EngineProject& project) {
  engine_ = std::make_shared<FlutterEngine>(project);
  // From here on the engine belongs to the view controller, whether the
  // create call succeeds or not.
  controller_handle_ = FlutterDesktopViewControllerCreate(
      width, height, engine_->ReleaseHandle());
  if (controller_handle_ == nullptr) {
    WriteDiagnosticLine("Failed to create view controller.");
    return;
  }
  view_ = std::make_unique<FlutterView>(
      FlutterDesktopViewControllerGetView(controller_handle_));
}

FlutterViewController::~FlutterViewController() {
  if (controller_handle_ != nullptr) {
    FlutterDesktopViewControllerDestroy(controller_handle_);
  }
  view_.reset();
  engine_.reset();
}

std::optional<LRESULT> FlutterViewController::HandleTopLevelWindowProc(
    HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  // A controller the engine refused has no handle to offer messages to; the
  // host window keeps such a controller until its window is destroyed.
  if (controller_handle_ == nullptr) {
    return std::nullopt;
  }
  LRESULT result = 0;
  if (FlutterDesktopViewControllerHandleTopLevelWindowProc(
          controller_handle_, window, message, wparam, lparam, &result)) {
    return result;
  }
  return std::nullopt;
}

void FlutterViewController::ForceRedraw() {
  if (controller_handle_ != nullptr) {
    FlutterDesktopViewControllerForceRedraw(controller_handle_);
  }
}

}  // namespace flutter
