#include "host/win32_window.h"

#include <cstdint>

#include "host/flutter_windows.h"
#include "host/unique_handles.h"
#include "host/window_theme.h"

namespace {

constexpr const wchar_t kWindowClassName[] = L"FLUTTER_RUNNER_WIN32_WINDOW";
constexpr int kIconResourceId = 101;
// IDC_ARROW, whose macro is narrow or wide depending on UNICODE.
constexpr int kArrowCursorId = 32512;

// Window objects in existence; the class is unregistered when it reaches 0.
int32_t live_window_count = 0;

struct WindowClassRegistration {
  bool registered = false;
};

// Created on first use and kept for the process's lifetime.
WindowClassRegistration& GetWindowClassRegistration() {
  static WindowClassRegistration registration;
  return registration;
}

const wchar_t* GetWindowClass() {
  WindowClassRegistration& registration = GetWindowClassRegistration();
  if (!registration.registered) {
    WNDCLASSW window_class = {};
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = Win32Window::WindowProcedure;
    window_class.cbClsExtra = 0;
    window_class.cbWndExtra = 0;
    window_class.hInstance = ::GetModuleHandleW(nullptr);
    window_class.hIcon =
        ::LoadIconW(window_class.hInstance, MAKEINTRESOURCEW(kIconResourceId));
    window_class.hCursor =
        ::LoadCursorW(nullptr, MAKEINTRESOURCEW(kArrowCursorId));
    window_class.hbrBackground = nullptr;
    window_class.lpszMenuName = nullptr;
    window_class.lpszClassName = kWindowClassName;
    ::RegisterClassW(&window_class);
    registration.registered = true;
  }
  return kWindowClassName;
}

void UnregisterWindowClass() {
  ::UnregisterClassW(kWindowClassName, nullptr);
  GetWindowClassRegistration().registered = false;
}

using EnableNonClientDpiScalingFunction = BOOL(WINAPI*)(HWND);

// Posts the quit message when it goes, if asked to, also while an exception
// passes through.
class QuitOnExit {
 public:
  explicit QuitOnExit(bool quit) : quit_(quit) {}
  ~QuitOnExit() {
    if (quit_) {
      ::PostQuitMessage(0);
    }
  }
  QuitOnExit(const QuitOnExit&) = delete;
  QuitOnExit& operator=(const QuitOnExit&) = delete;

 private:
  bool quit_;
};

}  // namespace

Win32Window::Win32Window() { ++live_window_count; }

Win32Window::~Win32Window() {
  --live_window_count;
  Destroy();
}

bool Win32Window::Create(const std::wstring& title, const WindowPoint& origin,
                         const WindowSize& size) {
  Destroy();
  const wchar_t* window_class = GetWindowClass();

  // The monitor is chosen by the unscaled origin.
  const POINT target_point = {static_cast<LONG>(origin.x),
                              static_cast<LONG>(origin.y)};
  HMONITOR monitor = ::MonitorFromPoint(target_point, MONITOR_DEFAULTTONEAREST);
  const PhysicalWindowRect rect =
      ScaleToDpi(origin, size, FlutterDesktopGetDpiForMonitor(monitor));

  // WM_NCCREATE stores the handle in window_handle_ before this returns.
  HWND window =
      ::CreateWindowExW(0, window_class, title.c_str(), WS_OVERLAPPEDWINDOW,
                        rect.x, rect.y, rect.width, rect.height, nullptr,
                        nullptr, ::GetModuleHandleW(nullptr), this);
  if (window == nullptr) {
    return false;
  }
  ApplySystemTheme(window);
  return OnCreated();
}

bool Win32Window::Show() {
  return ::ShowWindow(window_handle_, SW_SHOWNORMAL) != 0;
}

void Win32Window::Destroy() {
  OnDestroyed();
  if (window_handle_ != nullptr) {
    ::DestroyWindow(window_handle_);
    window_handle_ = nullptr;
  }
  if (live_window_count == 0) {
    UnregisterWindowClass();
  }
}

void Win32Window::SetChildWindow(HWND child) {
  child_window_ = child;
  ::SetParent(child, window_handle_);
  const RECT frame = ClientArea();
  ::MoveWindow(child, frame.left, frame.top, frame.right - frame.left,
               frame.bottom - frame.top, TRUE);
  ::SetFocus(child_window_);
}

RECT Win32Window::ClientArea() {
  RECT frame = {};
  ::GetClientRect(window_handle_, &frame);
  return frame;
}

void Win32Window::SetQuitOnDestroy(bool quit_on_destroy) {
  quit_on_destroy_ = quit_on_destroy;
}

LRESULT CALLBACK Win32Window::WindowProcedure(HWND window, UINT message,
                                              WPARAM wparam, LPARAM lparam) {
  // Called by the system: nothing may propagate out of here.
  try {
    if (message == WM_NCCREATE) {
      const auto* create_struct = reinterpret_cast<CREATESTRUCTW*>(lparam);
      auto* that = static_cast<Win32Window*>(create_struct->lpCreateParams);
      ::SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(that));
      EnableNonClientScaling(window);
      that->window_handle_ = window;
    } else if (auto* that = reinterpret_cast<Win32Window*>(
                   ::GetWindowLongPtrW(window, GWLP_USERDATA))) {
      return that->HandleMessage(window, message, wparam, lparam);
    }
  } catch (...) {
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

LRESULT Win32Window::HandleMessage(HWND window, UINT message, WPARAM wparam,
                                   LPARAM lparam) {
  switch (message) {
    case WM_DESTROY: {
      window_handle_ = nullptr;
      // Posted however Destroy ends: an exception from OnDestroyed (an
      // allocation failure, say) must not leave the loop pumping messages
      // with no window left.
      const QuitOnExit quit(quit_on_destroy_);
      Destroy();
      return 0;
    }

    case WM_SIZE: {
      const RECT frame = ClientArea();
      if (child_window_ != nullptr) {
        ::MoveWindow(child_window_, frame.left, frame.top,
                     frame.right - frame.left, frame.bottom - frame.top, TRUE);
      }
      return 0;
    }

    case WM_ACTIVATE:
      if (child_window_ != nullptr) {
        ::SetFocus(child_window_);
      }
      return 0;

    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<RECT*>(lparam);
      ::SetWindowPos(window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left,
                     suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }

    case WM_DWMCOLORIZATIONCOLORCHANGED:
      ApplySystemTheme(window);
      return 0;

    // The session may end, and Restart Manager may close us for an update:
    // there is nothing to save first.
    case WM_QUERYENDSESSION:
      return TRUE;

    // Once this returns on a real end the system may end the process, so the
    // window goes now and the engine shuts down through WM_DESTROY as on a
    // close by the user. ENDSESSION_CLOSEAPP (Restart Manager) comes with
    // wparam TRUE; wparam FALSE means the end was cancelled.
    case WM_ENDSESSION:
      if (wparam != FALSE && window_handle_ != nullptr) {
        ::DestroyWindow(window_handle_);
      }
      return 0;

    default:
      return ::DefWindowProcW(window_handle_, message, wparam, lparam);
  }
}

bool Win32Window::OnCreated() { return true; }

void Win32Window::OnDestroyed() {}

void Win32Window::EnableNonClientScaling(HWND window) {
  // Looked up at run time: older systems do not have the function.
  const lanternquill::LoadedLibrary user32(::LoadLibraryA("User32.dll"));
  if (user32.get() == nullptr) {
    return;
  }
  auto enable = reinterpret_cast<EnableNonClientDpiScalingFunction>(
      reinterpret_cast<void*>(
          ::GetProcAddress(user32.get(), "EnableNonClientDpiScaling")));
  if (enable != nullptr) {
    enable(window);
  }
}

void Win32Window::ApplySystemTheme(HWND window) {
  ApplyWindowTheme(window, WindowAttributeSetter());
}
