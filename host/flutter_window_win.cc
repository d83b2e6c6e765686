#include "host/flutter_window.h"

#include <optional>
#include <utility>

#include "codec/standard_method_codec.h"
#include "host/plugin_registrant.h"
#include "input/input_method_handler.h"
#include "input/system_input_platform.h"
#include "messaging/method_channel.h"

namespace {

constexpr char kInputChannelName[] = "com.lanternquill/input";

}  // namespace

FlutterWindow::FlutterWindow(const flutter::EngineProject& project)
    : project_(project) {}

FlutterWindow::~FlutterWindow() { controller_.reset(); }

bool FlutterWindow::OnCreated() {
  if (!Win32Window::OnCreated()) {
    return false;
  }

  // The view covers the client area, in physical pixels.
  const RECT frame = ClientArea();
  controller_ = std::make_unique<flutter::FlutterViewController>(
      frame.right - frame.left, frame.bottom - frame.top, project_);
  if (controller_->Engine() == nullptr || controller_->View() == nullptr) {
    return false;
  }

  RegisterAllPlugins(controller_->Engine());
  SetChildWindow(controller_->View()->NativeWindow());
  RegisterInputChannel();

  controller_->Engine()->SetNextFrameCallback([this]() { this->Show(); });
  // The engine may have drawn its first frame before the action was set; a
  // forced redraw makes sure a later frame shows the window.
  controller_->ForceRedraw();
  return true;
}

void FlutterWindow::OnDestroyed() {
  if (controller_) {
    // Emptied before the controller goes, so messages sent while the engine
    // shuts down see no controller.
    std::unique_ptr<flutter::FlutterViewController> controller =
        std::move(controller_);
    controller.reset();
  }
  Win32Window::OnDestroyed();
}

LRESULT FlutterWindow::HandleMessage(HWND window, UINT message, WPARAM wparam,
                                     LPARAM lparam) {
  // The engine and its plugins see every top-level message first.
  if (controller_) {
    std::optional<LRESULT> result =
        controller_->HandleTopLevelWindowProc(window, message, wparam, lparam);
    if (result) {
      return *result;
    }
  }

  if (message == WM_FONTCHANGE && controller_) {
    controller_->Engine()->ReloadSystemFonts();
  }

  return Win32Window::HandleMessage(window, message, wparam, lparam);
}

void FlutterWindow::RegisterInputChannel() {
  // The registration keeps its own copies of the name and handler, and the
  // codec lives as long as the process, so the channel object can go.
  flutter::MethodChannel channel(controller_->Engine()->Messenger(),
                                 kInputChannelName,
                                 &flutter::StandardMethodCodec::GetInstance());
  channel.SetMethodCallHandler(
      [](const flutter::MethodCall<flutter::EncodableValue>& call,
         std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>>
             result) {
        lanternquill::HandleInputMethodCall(
            call, std::move(result), lanternquill::SystemInputPlatform());
      });
}
