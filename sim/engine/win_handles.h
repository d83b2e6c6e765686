#pragma once

// Owning wrappers for the Windows handles of the simulated engine. Included
// only by *_win.cc files.

#include <windows.h>

namespace lanternquill::sim {

// A window destroyed with its owner, unless the window is gone already
// (a host may destroy the view together with its own window).
class UniqueWindow {
 public:
  UniqueWindow() = default;
  explicit UniqueWindow(HWND window) : window_(window) {}
  UniqueWindow(const UniqueWindow&) = delete;
  UniqueWindow& operator=(const UniqueWindow&) = delete;
  UniqueWindow(UniqueWindow&& other) noexcept : window_(other.release()) {}
  UniqueWindow& operator=(UniqueWindow&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueWindow() { reset(); }

  HWND get() const { return window_; }
  HWND release() {
    HWND window = window_;
    window_ = nullptr;
    return window;
  }
  void reset(HWND window = nullptr) {
    if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
    window_ = window;
  }

 private:
  HWND window_ = nullptr;
};

// The module of this library (the DLL, or the executable it is linked into),
// whose instance owns the window classes.
HMODULE ThisModule();

}  // namespace lanternquill::sim
