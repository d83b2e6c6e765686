#pragma once

// The few platform services the portable engine needs, implemented in
// platform_win.cc and platform_posix.cc.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace lanternquill::sim {

class TaskQueue;

// The variable's value as UTF-8, or nothing when it is not set.
std::optional<std::string> EnvironmentVariable(const char* name);

// The folder of the running executable (not of this library), against which
// relative asset paths are resolved.
std::filesystem::path ExecutableDirectory();

// Ties a task queue to the calling thread: while the binding lives, posting a
// task wakes that thread's message loop, which then runs the queue. Natively
// there is no loop and tests run the queue themselves.
class UiThreadBinding {
 public:
  virtual ~UiThreadBinding() = default;
  // The hidden window that receives the wake-ups (an HWND on Windows); the
  // view is created inside it until the host adopts it.
  virtual void* NativeWindow() const = 0;
};
std::unique_ptr<UiThreadBinding> BindToCurrentThread(TaskQueue* tasks);

// Points this library's C standard output and error streams at the process's
// current standard output and error. On Windows the library may have a C
// runtime of its own (MSVC's static one), which does not see the process's
// handles change; natively there is one runtime, which already follows.
void RebindOutputStreams();

}  // namespace lanternquill::sim
