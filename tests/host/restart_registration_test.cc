#include "host/restart_registration.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

struct Registration {
  std::wstring command_line;
  DWORD flags;

  bool operator==(const Registration& other) const {
    return command_line == other.command_line && flags == other.flags;
  }
};

std::vector<Registration> registrations;

HRESULT WINAPI RecordRegistration(PCWSTR command_line, DWORD flags) {
  registrations.push_back(
      {command_line == nullptr ? L"(null)" : command_line, flags});
  return S_OK;
}

// The arguments as the process that receives `command_line` sees them.
std::vector<std::wstring> SplitArguments(const std::wstring& command_line) {
  int count = 0;
  wchar_t** split = ::CommandLineToArgvW(command_line.c_str(), &count);
  std::vector<std::wstring> arguments;
  for (int i = 1; split != nullptr && i < count; ++i) {
    arguments.emplace_back(split[i]);
  }
  ::LocalFree(split);
  return arguments;
}

constexpr DWORD kFlags = RESTART_NO_CRASH | RESTART_NO_HANG | RESTART_NO_REBOOT;

TEST(RestartRegistrationTest, RegistersTheArgumentsAsReceivedWhileTheyFit) {
  struct Case {
    std::wstring command_line;
    std::vector<Registration> expected;
  };
  const std::wstring longest(RESTART_MAX_CMD_LINE - 1, L'a');
  const Case cases[] = {
      {L"\"C:\\Program Files\\Lanternquill\\lanternquill.exe\"",
       {{L"", kFlags}}},
      {L"lanternquill.exe", {{L"", kFlags}}},
      {L"", {{L"", kFlags}}},
      {L"\"C:\\a b\\lq.exe\" \"two words\" \"\" z\u00FCrich \\\"q\\\" last",
       {{L"\"two words\" \"\" z\u00FCrich \\\"q\\\" last", kFlags}}},
      {L"lq.exe \t  --flag   \"a \t b\"  ",
       {{L"--flag   \"a \t b\"  ", kFlags}}},
      // Quotes end a quoted name at once; an unquoted one ends at a blank.
      {L"\"C:\\a b\"x y", {{L"x y", kFlags}}},
      {L"C:\\ab\"x y\" z", {{L"y\" z", kFlags}}},
      {L"\"C:\\never closed x", {{L"", kFlags}}},
      {L" lq.exe a", {{L"lq.exe a", kFlags}}},  // an empty name
      {L"lq.exe " + longest, {{longest, kFlags}}},
      {L"lq.exe " + longest + L"a", {}},
  };
  for (const Case& c : cases) {
    registrations.clear();
    RegisterForRestartAfterUpdate(c.command_line, &RecordRegistration);
    EXPECT_EQ(registrations, c.expected) << c.command_line.substr(0, 60);
    // The restarted process, its name put in front again, gets the same
    // arguments as this one got.
    if (!registrations.empty() && !c.command_line.empty()) {
      EXPECT_EQ(SplitArguments(L"\"C:\\x\\lanternquill.exe\" " +
                               registrations[0].command_line),
                SplitArguments(c.command_line))
          << c.command_line.substr(0, 60);
    }
  }
}

}  // namespace

#endif  // _WIN32
