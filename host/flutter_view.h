#pragma once

#include <windows.h>

#include "host/flutter_windows.h"

namespace flutter {

// Names the engine's view. Releases nothing: the view goes with its view
// controller.
class FlutterView {
 public:
  explicit FlutterView(FlutterDesktopViewRef view_handle)
      : view_handle_(view_handle) {}
  virtual ~FlutterView() = default;

  FlutterView(const FlutterView&) = delete;
  FlutterView& operator=(const FlutterView&) = delete;

  // The view's child-capable native window.
  HWND NativeWindow() const;

 private:
  FlutterDesktopViewRef view_handle_;
};

}  // namespace flutter
