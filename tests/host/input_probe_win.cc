// A probe for the end-to-end tests: reports what really reached the desktop
// and what the host's window looks like, from a separate process.
//
//   input_probe hooks <log>        low-level keyboard and mouse hooks; one
//                                  line per event, flushed, until killed; a
//                                  line "mark <n>" on its standard input
//                                  injects a marker that the log shows as
//                                  "mark <n>" after every earlier event
//   input_probe place <x> <y>      puts the cursor at (x, y) and waits until
//                                  it reads back there; prints it as JSON
//   input_probe query              the top-level window, the cursor and the
//                                  engine-claimed message's result, as JSON
//   input_probe watch <trace> <ms> prints "watching", then waits for the
//                                  window and reports whether it was hidden
//                                  first and whether the trace held
//                                  "NextFrameCallback" when it appeared
//   input_probe post <message> [wparam] [lparam]
//                                  posts the message to the host's window;
//                                  numbers in decimal or 0x-hexadecimal
//   input_probe unfocus            takes the keyboard focus away from the
//                                  host's window and its children

#include <windows.h>

#include <share.h>
#include <timeapi.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>

#include "sim/engine/json_string.h"

namespace {

constexpr wchar_t kClassName[] = L"FLUTTER_RUNNER_WIN32_WINDOW";
constexpr wchar_t kClaimedMessageName[] = L"LanternquillSimulatedEngineMessage";

FILE* log_file = nullptr;

// A marker is a press and release of a key that has no meaning, tagged in
// its extra information with the marker's number. The hook swallows both, so
// the window with the focus never sees them.
constexpr WORD kMarkerKey = 0x88;
constexpr ULONG_PTR kMarkerTag = 0x4C514D4B00000000;
constexpr ULONG_PTR kMarkerTagMask = 0xFFFFFFFF00000000;

bool IsMarker(const KBDLLHOOKSTRUCT& event) {
  return event.vkCode == kMarkerKey &&
         (event.dwExtraInfo & kMarkerTagMask) == kMarkerTag;
}

LRESULT CALLBACK KeyboardHook(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HC_ACTION) {
    const auto* event = reinterpret_cast<KBDLLHOOKSTRUCT*>(lparam);
    if (IsMarker(*event)) {
      // Logged at the release, the marker's last event: whatever follows it
      // in the log was injected after the whole marker.
      if (wparam == WM_KEYUP) {
        std::fprintf(
            log_file, "mark %lu\n",
            static_cast<unsigned long>(event->dwExtraInfo & ~kMarkerTagMask));
        std::fflush(log_file);
      }
      return 1;
    }
    std::fprintf(log_file, "key msg=0x%x vk=0x%lx scan=0x%lx flags=0x%lx\n",
                 static_cast<unsigned>(wparam), event->vkCode, event->scanCode,
                 event->flags);
    std::fflush(log_file);
  }
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

LRESULT CALLBACK MouseHook(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HC_ACTION) {
    const auto* event = reinterpret_cast<MSLLHOOKSTRUCT*>(lparam);
    std::fprintf(log_file,
                 "mouse msg=0x%x data=0x%lx flags=0x%lx x=%ld y=%ld\n",
                 static_cast<unsigned>(wparam), event->mouseData, event->flags,
                 event->pt.x, event->pt.y);
    std::fflush(log_file);
  }
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

void InjectMarker(unsigned long number) {
  INPUT records[2] = {};
  for (INPUT& record : records) {
    record.type = INPUT_KEYBOARD;
    record.ki.wVk = kMarkerKey;
    record.ki.dwExtraInfo = kMarkerTag | number;
  }
  records[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(2, records, sizeof(INPUT));
}

// The number of a request line "mark <n>", or nothing for any other line.
std::optional<unsigned long> MarkerNumber(std::string_view line) {
  constexpr std::string_view kPrefix = "mark ";
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
    line.remove_suffix(1);
  }
  if (line.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
  line.remove_prefix(kPrefix.size());
  unsigned long number = 0;
  const char* end = line.data() + line.size();
  const auto [parsed_end, error] = std::from_chars(line.data(), end, number);
  if (error != std::errc() || parsed_end != end) return std::nullopt;
  return number;
}

// Injects a marker per "mark <n>" line of the standard input. The markers
// come from this thread, so the hooks on the main thread see them in turn
// after every event that was injected before the request.
DWORD WINAPI ReadMarkerRequests(void*) {
  char line[64];
  while (std::fgets(line, sizeof(line), stdin) != nullptr) {
    if (const auto number = MarkerNumber(line)) {
      InjectMarker(*number);
    }
  }
  return 0;
}

int RunHooks(const char* path) {
  // The tests read the log while it grows, so it is opened for sharing.
  log_file = _fsopen(path, "w", _SH_DENYNO);
  if (log_file == nullptr) {
    return 2;
  }
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  HHOOK keyboard =
      ::SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHook, instance, 0);
  HHOOK mouse = ::SetWindowsHookExW(WH_MOUSE_LL, MouseHook, instance, 0);
  if (keyboard == nullptr || mouse == nullptr) {
    return 3;
  }
  std::fprintf(log_file, "ready\n");
  std::fflush(log_file);
  HANDLE reader =
      ::CreateThread(nullptr, 0, ReadMarkerRequests, nullptr, 0, nullptr);
  if (reader == nullptr) {
    return 4;
  }
  ::CloseHandle(reader);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::DispatchMessageW(&message);
  }
  return 0;
}

// A position set from one process may be taken over by the display later than
// the call that set it returns, and events queued before it may still move it
// back; so the position must read back on several reads in a row, and it is
// set again whenever it does not.
int RunPlace(long x, long y) {
  constexpr int kReadsInARow = 5;
  constexpr DWORD kReadInterval = 50;
  constexpr DWORD kTimeout = 20000;
  POINT cursor = {};
  int reads_in_a_row = 0;
  const DWORD start = ::GetTickCount();
  while (reads_in_a_row < kReadsInARow) {
    if (::GetTickCount() - start > kTimeout) {
      std::fprintf(stderr, "cursor stays at [%ld, %ld], not [%ld, %ld]\n",
                   cursor.x, cursor.y, x, y);
      return 1;
    }
    ::GetCursorPos(&cursor);
    if (cursor.x == x && cursor.y == y) {
      ++reads_in_a_row;
    } else {
      reads_in_a_row = 0;
      ::SetCursorPos(x, y);
    }
    ::Sleep(kReadInterval);
  }
  std::printf("{\"cursor\": [%ld, %ld]}\n", cursor.x, cursor.y);
  return 0;
}

int RunQuery() {
  HWND window = ::FindWindowW(kClassName, nullptr);
  POINT cursor = {};
  ::GetCursorPos(&cursor);
  std::printf("{\"cursor\": [%ld, %ld], \"found\": %s", cursor.x, cursor.y,
              window != nullptr ? "true" : "false");
  if (window != nullptr) {
    wchar_t class_name[256] = {};
    ::GetClassNameW(window, class_name, 256);
    wchar_t title[256] = {};
    ::GetWindowTextW(window, title, 256);
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    RECT client = {};
    ::GetClientRect(window, &client);
    DWORD_PTR claimed = 0;
    const UINT claimed_message = ::RegisterWindowMessageW(kClaimedMessageName);
    const LRESULT sent = ::SendMessageTimeoutW(
        window, claimed_message, 0, 0, SMTO_ABORTIFHUNG, 10000, &claimed);
    HWND child = ::GetWindow(window, GW_CHILD);
    std::printf(
        ", \"class\": %s, \"title\": %s, \"rect\": [%ld, %ld, %ld, %ld], "
        "\"client\": [%ld, %ld], \"visible\": %s, \"has_child\": %s, "
        "\"claimed_sent\": %s, \"claimed_result\": %llu",
        lanternquill::AsciiJsonString(class_name).c_str(),
        lanternquill::AsciiJsonString(title).c_str(), rect.left, rect.top,
        rect.right - rect.left, rect.bottom - rect.top, client.right,
        client.bottom, ::IsWindowVisible(window) ? "true" : "false",
        child != nullptr ? "true" : "false", sent != 0 ? "true" : "false",
        static_cast<unsigned long long>(claimed));
  }
  std::printf("}\n");
  return 0;
}

bool TraceHasNextFrame(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str().find("\"NextFrameCallback\"") != std::string::npos;
}

int RunWatch(const char* trace_path, int timeout_ms) {
  bool seen_hidden = false;
  bool next_frame_before_hidden = false;
  // Tells the caller that the window cannot appear unseen any more, so it
  // starts the host only now.
  std::printf("watching\n");
  std::fflush(stdout);
  const DWORD start = ::GetTickCount();
  while (static_cast<int>(::GetTickCount() - start) < timeout_ms) {
    HWND window = ::FindWindowW(kClassName, nullptr);
    if (window != nullptr) {
      if (::IsWindowVisible(window)) {
        std::printf(
            "{\"seen_hidden\": %s, \"next_frame_while_hidden\": %s, "
            "\"next_frame_when_visible\": %s}\n",
            seen_hidden ? "true" : "false",
            next_frame_before_hidden ? "true" : "false",
            TraceHasNextFrame(trace_path) ? "true" : "false");
        return 0;
      }
      if (!seen_hidden) {
        seen_hidden = true;
        next_frame_before_hidden = TraceHasNextFrame(trace_path);
      }
    }
    ::Sleep(1);
  }
  std::printf("{\"timeout\": true}\n");
  return 1;
}

// The host's window, or null after a line that says it was not found.
HWND FindHostWindow() {
  HWND window = ::FindWindowW(kClassName, nullptr);
  if (window == nullptr) {
    std::printf("{\"found\": false}\n");
  }
  return window;
}

unsigned long long ParseNumber(const char* text) {
  return std::strtoull(text, nullptr, 0);
}

int RunPost(int argc, char** argv) {
  HWND window = FindHostWindow();
  if (window == nullptr) {
    return 1;
  }
  const UINT message = static_cast<UINT>(ParseNumber(argv[2]));
  const WPARAM wparam =
      argc > 3 ? static_cast<WPARAM>(ParseNumber(argv[3])) : 0;
  const LPARAM lparam =
      argc > 4 ? static_cast<LPARAM>(ParseNumber(argv[4])) : 0;
  const bool posted = ::PostMessageW(window, message, wparam, lparam) != 0;
  std::printf("{\"posted\": %s}\n", posted ? "true" : "false");
  return posted ? 0 : 1;
}

int RunUnfocus() {
  HWND window = FindHostWindow();
  if (window == nullptr) {
    return 1;
  }
  // The focus belongs to the host's thread; sharing that thread's input
  // state for a moment is how another process can take it. The probe's
  // thread needs a message queue of its own to be attached.
  MSG unused;
  ::PeekMessageW(&unused, nullptr, 0, 0, PM_NOREMOVE);
  const DWORD own_thread = ::GetCurrentThreadId();
  const DWORD host_thread = ::GetWindowThreadProcessId(window, nullptr);
  bool unfocused = false;
  if (::AttachThreadInput(own_thread, host_thread, TRUE)) {
    ::SetFocus(nullptr);
    unfocused = ::GetFocus() == nullptr;
    ::AttachThreadInput(own_thread, host_thread, FALSE);
  }
  std::printf("{\"unfocused\": %s}\n", unfocused ? "true" : "false");
  return unfocused ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "hooks" && argc == 3) {
    return RunHooks(argv[2]);
  }
  if (mode == "place" && argc == 4) {
    return RunPlace(std::atol(argv[2]), std::atol(argv[3]));
  }
  if (mode == "query") {
    return RunQuery();
  }
  if (mode == "watch" && argc == 4) {
    // The hidden phase may be shorter than Sleep(1)'s default 15.6 ms tick.
    ::timeBeginPeriod(1);
    const int result = RunWatch(argv[2], std::atoi(argv[3]));
    ::timeEndPeriod(1);
    return result;
  }
  if (mode == "post" && argc >= 3 && argc <= 5) {
    return RunPost(argc, argv);
  }
  if (mode == "unfocus") {
    return RunUnfocus();
  }
  std::fprintf(stderr,
               "usage: input_probe hooks <log> | place <x> <y> | query | "
               "watch <trace> <ms> | post <message> [wparam] [lparam] | "
               "unfocus\n");
  return 2;
}
