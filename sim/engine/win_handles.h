#pragma once

// Owning wrappers for the Windows handles of the simulated engine. Included
// only by *_win.cc files.

#include <windows.h>
#include <winsock2.h>

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

class UniqueSocket {
 public:
  UniqueSocket() = default;
  explicit UniqueSocket(SOCKET socket) : socket_(socket) {}
  UniqueSocket(const UniqueSocket&) = delete;
  UniqueSocket& operator=(const UniqueSocket&) = delete;
  UniqueSocket(UniqueSocket&& other) noexcept : socket_(other.release()) {}
  UniqueSocket& operator=(UniqueSocket&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueSocket() { reset(); }

  SOCKET get() const { return socket_; }
  explicit operator bool() const { return socket_ != INVALID_SOCKET; }
  SOCKET release() {
    SOCKET socket = socket_;
    socket_ = INVALID_SOCKET;
    return socket;
  }
  void reset(SOCKET socket = INVALID_SOCKET) {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    socket_ = socket;
  }

 private:
  SOCKET socket_ = INVALID_SOCKET;
};

// The module of this library (the DLL, or the executable it is linked into),
// whose instance owns the window classes.
HMODULE ThisModule();

}  // namespace lanternquill::sim
