#pragma once

#include <windows.h>

#include <memory>

#include "host/engine_project.h"
#include "host/flutter_view_controller.h"
#include "host/win32_window.h"

// The application's top-level window: runs the engine's view as its only
// child, registers the plugins and the input channel, and shows itself once
// the engine has drawn a frame.
class FlutterWindow : public Win32Window {
 public:
  explicit FlutterWindow(const flutter::EngineProject& project);
  ~FlutterWindow() override;

 protected:
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wparam,
                        LPARAM lparam) override;
  bool OnCreated() override;
  void OnDestroyed() override;

 private:
  // Installs "com.lanternquill/input" on the engine's messenger.
  void RegisterInputChannel();

  flutter::EngineProject project_;
  std::unique_ptr<flutter::FlutterViewController> controller_;
};
