#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "host/engine_project.h"
#include "host/flutter_engine.h"
#include "host/flutter_view.h"
#include "host/flutter_windows.h"

namespace flutter {

// Creates the engine from a project and a view controller over it; owns the
// view. Destroying it shuts the view and the engine down.
class FlutterViewController {
 public:
  // Width and height in physical pixels. When the engine refuses the view
  // controller, one diagnostic line is written and View() stays empty.
  FlutterViewController(int32_t width, int32_t height,
                        const EngineProject& project);
  virtual ~FlutterViewController();

  FlutterViewController(const FlutterViewController&) = delete;
  FlutterViewController& operator=(const FlutterViewController&) = delete;

  FlutterEngine* Engine() const { return engine_.get(); }
  FlutterView* View() const { return view_.get(); }

  // The engine's answer when it handles the message; empty otherwise.
  std::optional<LRESULT> HandleTopLevelWindowProc(HWND window, UINT message,
                                                  WPARAM wparam, LPARAM lparam);

  void ForceRedraw();

 private:
  FlutterDesktopViewControllerRef controller_handle_ = nullptr;
  std::shared_ptr<FlutterEngine> engine_;
  std::unique_ptr<FlutterView> view_;
};

}  // namespace flutter
