#pragma once

#include <windows.h>

#include <string>

#include "host/window_geometry.h"

// Base of the application's top-level window: registers the window class,
// creates the window scaled to the monitor's DPI with the system's title-bar
// theme, routes native messages to HandleMessage, keeps one child window
// stretched over the client area, and closes when the session ends.
class Win32Window {
 public:
  Win32Window();
  virtual ~Win32Window();

  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  // Creates the native window, hidden; an earlier one is destroyed first.
  // Returns false when no window is made, otherwise what OnCreated returns.
  bool Create(const std::wstring& title, const WindowPoint& origin,
              const WindowSize& size);

  // Shows the window normally; true when it was visible before.
  bool Show();

  // Destroys the native window (if any) and unregisters the window class
  // once no window object is left.
  void Destroy();

  // Re-parents `child` into this window, stretches it over the client area
  // and focuses it.
  void SetChildWindow(HWND child);

  RECT ClientArea();

  // When true, destroying the native window ends the thread's message loop.
  void SetQuitOnDestroy(bool quit_on_destroy);

  HWND GetHandle() const { return window_handle_; }

  // The window class's procedure: binds the object at WM_NCCREATE and routes
  // every later message to its HandleMessage.
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message,
                                          WPARAM wparam, LPARAM lparam);

 protected:
  virtual LRESULT HandleMessage(HWND window, UINT message, WPARAM wparam,
                                LPARAM lparam);
  virtual bool OnCreated();
  virtual void OnDestroyed();

 private:
  static void EnableNonClientScaling(HWND window);
  static void ApplySystemTheme(HWND window);

  bool quit_on_destroy_ = false;
  HWND window_handle_ = nullptr;
  HWND child_window_ = nullptr;
};
