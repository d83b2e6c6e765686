#include "host/restart_registration.h"

#include <string>

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Without a reboot among the occasions: a reboot ends in a sign-in, where
// the user's own choice (the Run value the installer may write) decides
// whether we start, and a restart on top of it would be a second instance.
constexpr DWORD kRestartFlags =
    RESTART_NO_CRASH | RESTART_NO_HANG | RESTART_NO_REBOOT;

}  // namespace

std::wstring_view ArgumentsText(std::wstring_view command_line) {
  size_t end = 0;
  if (!command_line.empty() && command_line[0] == L'"') {
    // The name is everything inside the quotes; a quote in it cannot be
    // escaped, and the next argument may start right after the closing one.
    const size_t closing = command_line.find(L'"', 1);
    end =
        closing == std::wstring_view::npos ? command_line.size() : closing + 1;
  } else {
    while (end < command_line.size() && !IsBlank(command_line[end])) {
      ++end;
    }
  }
  while (end < command_line.size() && IsBlank(command_line[end])) {
    ++end;
  }
  return command_line.substr(end);
}

void RegisterForRestartAfterUpdate(
    std::wstring_view command_line,
    RegisterApplicationRestartFunction register_restart) {
  // The text as received, not the split arguments quoted again: the new
  // process splits it exactly as this one split it.
  const std::wstring arguments(ArgumentsText(command_line));
  // Kept short enough to fit, with its NUL, in RESTART_MAX_CMD_LINE
  // characters. Longer ones are not cut (the UI would get arguments nobody
  // gave it) nor dropped (it would start another session than the one that
  // was closed): unregistered, the program is started again by the user.
  if (arguments.size() >= RESTART_MAX_CMD_LINE) {
    return;
  }
  register_restart(arguments.c_str(), kRestartFlags);
}
