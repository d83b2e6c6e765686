#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "host/unique_handles.h"
#include "sim/engine/engine_trace.h"
#include "sim/engine/platform.h"
#include "sim/engine/task_queue.h"
#include "sim/engine/this_module_win.h"

namespace lanternquill::sim {
namespace {

constexpr wchar_t kTaskWindowClass[] = L"LanternquillSimulatedEngine";
constexpr UINT kRunTasksMessage = WM_APP + 1;

std::wstring Utf8ToWide(const char* text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (length <= 1) return {};
  std::wstring out(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), length);
  out.resize(static_cast<size_t>(length) - 1);
  return out;
}

LRESULT CALLBACK TaskWindowProc(HWND window, UINT message, WPARAM wparam,
                                LPARAM lparam) {
  if (message == kRunTasksMessage) {
    auto* tasks =
        reinterpret_cast<TaskQueue*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (tasks != nullptr) {
      try {
        tasks->RunPending();
      } catch (...) {
        // A task's exception must not unwind through the message loop.
      }
    }
    return 0;
  }
  // The view's first parent may receive WM_CLOSE through the test port
  // before the host adopts the view; the engine decides its lifetime alone.
  if (message == WM_CLOSE) return 0;
  return DefWindowProcW(window, message, wparam, lparam);
}

void RegisterTaskWindowClass() {
  WNDCLASSW window_class{};
  if (GetClassInfoW(ThisModule(), kTaskWindowClass, &window_class)) return;
  window_class.lpfnWndProc = TaskWindowProc;
  window_class.hInstance = ThisModule();
  window_class.lpszClassName = kTaskWindowClass;
  RegisterClassW(&window_class);
}

// A hidden top-level window on the thread that created the engine: posted
// messages wake that thread's message loop, which runs the task queue.
class TaskWindow : public UiThreadBinding {
 public:
  explicit TaskWindow(TaskQueue* tasks) : tasks_(tasks) {
    RegisterTaskWindowClass();
    window_.reset(CreateWindowExW(0, kTaskWindowClass, L"", WS_OVERLAPPED, 0, 0,
                                  0, 0, nullptr, nullptr, ThisModule(),
                                  nullptr));
    HWND window = window_.get();
    if (window == nullptr) return;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(tasks));
    tasks_->SetWake([window] { PostMessageW(window, kRunTasksMessage, 0, 0); });
  }
  ~TaskWindow() override {
    tasks_->SetWake(nullptr);
    if (window_.get() != nullptr) {
      SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
    }
  }
  void* NativeWindow() const override { return window_.get(); }

 private:
  TaskQueue* tasks_;
  UniqueWindow window_;
};

// Points `stream` at a duplicate of the process's standard handle `which`,
// unless it writes there already. The duplicate belongs to the stream, so
// the process's handle stays open whatever the stream does later; the
// stream's previous handle is closed by the runtime that held it.
void RebindStream(FILE* stream, DWORD which) {
  const HANDLE process_handle = GetStdHandle(which);
  if (process_handle == nullptr || process_handle == INVALID_HANDLE_VALUE) {
    return;
  }
  std::fflush(stream);
  // A program started without standard handles leaves the stream without a
  // descriptor; it gets one to rebind first.
  if (_fileno(stream) < 0) {
    FILE* reopened = nullptr;
    if (freopen_s(&reopened, "NUL", "w", stream) != 0) return;
  }
  const int descriptor = _fileno(stream);
  if (descriptor < 0 || _get_osfhandle(descriptor) ==
                            reinterpret_cast<intptr_t>(process_handle)) {
    return;
  }
  HANDLE own = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), process_handle, GetCurrentProcess(),
                       &own, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    return;
  }
  // Text mode, as the runtime opens its standard streams.
  const int own_descriptor =
      _open_osfhandle(reinterpret_cast<intptr_t>(own), _O_TEXT);
  if (own_descriptor < 0) {
    CloseHandle(own);
    return;
  }
  _dup2(own_descriptor, descriptor);
  _close(own_descriptor);
}

}  // namespace

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

std::optional<std::string> EnvironmentVariable(const char* name) {
  const std::wstring wide_name = Utf8ToWide(name);
  const DWORD needed = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
  if (needed == 0) return std::nullopt;
  std::vector<wchar_t> value(needed + 1, L'\0');
  GetEnvironmentVariableW(wide_name.c_str(), value.data(), needed + 1);
  return WideToUtf8(value.data());
}

std::filesystem::path ExecutableDirectory() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(),
                                            static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::filesystem::current_path();
    if (length < buffer.size()) {
      return std::filesystem::path(std::wstring(buffer.data(), length))
          .parent_path();
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::unique_ptr<UiThreadBinding> BindToCurrentThread(TaskQueue* tasks) {
  return std::make_unique<TaskWindow>(tasks);
}

void RebindOutputStreams() {
  RebindStream(stdout, STD_OUTPUT_HANDLE);
  RebindStream(stderr, STD_ERROR_HANDLE);
}

}  // namespace lanternquill::sim
