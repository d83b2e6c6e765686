// Asks the host's top-level window what the system asks it, from a separate
// process, for the end-to-end tests.
//
//   window_messages send <message> <wparam> <lparam>
//       sends the message and waits for the host to handle it; prints its
//       result as JSON. Numbers in decimal or 0x-hexadecimal.
//   window_messages restart-settings
//       what the system keeps of the host's restart registration, as JSON:
//       the HRESULT of GetApplicationRestartSettings, the command line and
//       the flags.

#include <windows.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sim/engine/json_string.h"

namespace {

constexpr wchar_t kClassName[] = L"FLUTTER_RUNNER_WIN32_WINDOW";
// Long enough for an engine that is slow to shut down, short of the tests'
// own deadline.
constexpr UINT kSendTimeoutMs = 30000;

// The host's window, or null after a line that says it was not found.
HWND FindHostWindow() {
  HWND window = ::FindWindowW(kClassName, nullptr);
  if (window == nullptr) {
    std::printf("{\"found\": false}\n");
  }
  return window;
}

// A whole number and nothing else, within 64 bits.
bool ParseNumber(const char* text, unsigned long long& number) {
  char* end = nullptr;
  errno = 0;
  number = std::strtoull(text, &end, 0);
  return std::isdigit(static_cast<unsigned char>(*text)) && *end == '\0' &&
         errno == 0;
}

int RunSend(const char* message_text, const char* wparam_text,
            const char* lparam_text) {
  unsigned long long message = 0;
  unsigned long long wparam = 0;
  unsigned long long lparam = 0;
  if (!ParseNumber(message_text, message) || message > 0xFFFFFFFF ||
      !ParseNumber(wparam_text, wparam) || !ParseNumber(lparam_text, lparam)) {
    std::fprintf(stderr, "not a number: %s %s %s\n", message_text, wparam_text,
                 lparam_text);
    return 2;
  }
  HWND window = FindHostWindow();
  if (window == nullptr) {
    return 1;
  }
  DWORD_PTR result = 0;
  const bool sent =
      ::SendMessageTimeoutW(window, static_cast<UINT>(message),
                            static_cast<WPARAM>(wparam),
                            static_cast<LPARAM>(lparam), SMTO_ABORTIFHUNG,
                            kSendTimeoutMs, &result) != 0;
  std::printf("{\"sent\": %s, \"result\": %llu}\n", sent ? "true" : "false",
              static_cast<unsigned long long>(result));
  return sent ? 0 : 1;
}

int RunRestartSettings() {
  HWND window = FindHostWindow();
  if (window == nullptr) {
    return 1;
  }
  DWORD process_id = 0;
  ::GetWindowThreadProcessId(window, &process_id);
  HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ,
                                 FALSE, process_id);
  if (process == nullptr) {
    std::fprintf(stderr, "cannot open process %lu\n", process_id);
    return 1;
  }
  wchar_t command_line[RESTART_MAX_CMD_LINE] = {};
  DWORD size = RESTART_MAX_CMD_LINE;
  DWORD flags = 0;
  const HRESULT result =
      ::GetApplicationRestartSettings(process, command_line, &size, &flags);
  ::CloseHandle(process);
  std::printf("{\"hresult\": %lu, \"command_line\": %s, \"flags\": %lu}\n",
              static_cast<unsigned long>(result),
              lanternquill::AsciiJsonString(command_line).c_str(),
              static_cast<unsigned long>(flags));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "send" && argc == 5) {
    return RunSend(argv[2], argv[3], argv[4]);
  }
  if (mode == "restart-settings" && argc == 2) {
    return RunRestartSettings();
  }
  std::fprintf(stderr,
               "usage: window_messages send <message> <wparam> <lparam> | "
               "restart-settings\n");
  return 2;
}
