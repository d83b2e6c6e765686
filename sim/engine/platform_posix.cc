#include <cstdlib>
#include <system_error>

#include "sim/engine/platform.h"

namespace lanternquill::sim {

std::optional<std::string> EnvironmentVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) {
    return std::nullopt;
  }
  return std::string(value);
}

std::filesystem::path ExecutableDirectory() {
  std::error_code error;
  const std::filesystem::path exe =
      std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    return std::filesystem::current_path();
  }
  return exe.parent_path();
}

std::unique_ptr<UiThreadBinding> BindToCurrentThread(TaskQueue* /*tasks*/) {
  return nullptr;
}

void RebindOutputStreams() {}

}  // namespace lanternquill::sim
