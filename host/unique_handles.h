#pragma once

// Move-only owners of Windows handles, one type per kind of handle, shared by
// the host and the simulated engine. Each closes its handle exactly once:
// when it goes or is given another, unless the handle was released first.

#include <windows.h>

namespace lanternquill {

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::kEmpty; }
  Handle release() {
    const Handle handle = handle_;
    handle_ = Traits::kEmpty;
    return handle;
  }
  // Taking the handle it holds already keeps it open.
  void reset(Handle handle = Traits::kEmpty) {
    if (handle_ != Traits::kEmpty && handle_ != handle) {
      Traits::Close(handle_);
    }
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::kEmpty;
};

struct LibraryTraits {
  using Handle = HMODULE;
  static constexpr HMODULE kEmpty = nullptr;
  static void Close(HMODULE module) { ::FreeLibrary(module); }
};

// A window may be gone before its owner: destroyed with its parent, or by
// whoever it was lent to.
struct WindowTraits {
  using Handle = HWND;
  static constexpr HWND kEmpty = nullptr;
  static void Close(HWND window) {
    if (::IsWindow(window)) {
      ::DestroyWindow(window);
    }
  }
};

// A Winsock SOCKET. <winsock2.h> must come before <windows.h> where both are
// included, so this header names the type by its definition and the close
// function lives in unique_handles_win.cc.
struct SocketTraits {
  using Handle = UINT_PTR;
  static constexpr UINT_PTR kEmpty = ~UINT_PTR{0};  // INVALID_SOCKET
  static void Close(UINT_PTR socket);
};

using LoadedLibrary = UniqueHandle<LibraryTraits>;
using UniqueWindow = UniqueHandle<WindowTraits>;
using UniqueSocket = UniqueHandle<SocketTraits>;

}  // namespace lanternquill
