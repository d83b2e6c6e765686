#include "host/command_line.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kChildOutputVariable[] = L"LQ_COMMAND_LINE_CHILD_OUTPUT";

TEST(ToUtf8Test, ConvertsWholeStringsAndGivesEmptyForWhatCannotConvert) {
  struct Case {
    const wchar_t* input;
    std::string expected;
  };
  const wchar_t unpaired_high[] = {0xD83D, L'a', 0};
  const wchar_t unpaired_low[] = {L'a', 0xDE00, 0};
  const Case cases[] = {
      {nullptr, ""},
      {L"", ""},
      {L"plain", "plain"},
      {L"two words", "two words"},
      {L"z\u00FCrich \u2713", "z\xC3\xBCrich \xE2\x9C\x93"},
      {L"\U0001F600", "\xF0\x9F\x98\x80"},
      {unpaired_high, ""},
      {unpaired_low, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToUtf8(c.input), c.expected);
  }
}

// Run as a child by the test below: writes the entry arguments it sees, one
// hex-encoded argument a line, to the file the parent names.
TEST(CommandLineChildTest, WritesItsEntryArguments) {
  wchar_t output[MAX_PATH] = {};
  const DWORD length =
      ::GetEnvironmentVariableW(kChildOutputVariable, output, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    GTEST_SKIP() << "only meaningful as the child of the next test";
  }
  std::ofstream out(output, std::ios::binary);
  for (const std::string& argument : CollectEntryArguments()) {
    static const char kHex[] = "0123456789abcdef";
    for (const char c : argument) {
      const auto octet = static_cast<unsigned char>(c);
      out << kHex[octet >> 4] << kHex[octet & 0xF];
    }
    out << "\n";
  }
}

std::string HexOf(const std::string& bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (const char c : bytes) {
    const auto octet = static_cast<unsigned char>(c);
    hex += kHex[octet >> 4];
    hex += kHex[octet & 0xF];
  }
  return hex;
}

TEST(CommandLineTest, CollectsArgumentsAfterTheProgramNameAsUtf8InOrder) {
  wchar_t exe[MAX_PATH] = {};
  ASSERT_NE(::GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
  wchar_t temp[MAX_PATH] = {};
  ASSERT_NE(::GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring output = std::wstring(temp) + L"lq_command_line_child.txt";
  ::DeleteFileW(output.c_str());

  // An unpaired surrogate cannot travel through a Unix command line, so the
  // child is started here with a UTF-16 one.
  std::wstring command_line = L"\"" + std::wstring(exe) +
                              L"\" --gtest_filter=CommandLineChildTest.* "
                              L"\"two words\" \"\" z\u00FCrich ";
  command_line += static_cast<wchar_t>(0xD800);
  command_line += L" \U0001F600 last";

  ::SetEnvironmentVariableW(kChildOutputVariable, output.c_str());
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(::CreateProcessW(exe, command_line.data(), nullptr, nullptr,
                               FALSE, 0, nullptr, nullptr, &startup, &process));
  ::SetEnvironmentVariableW(kChildOutputVariable, nullptr);
  ::WaitForSingleObject(process.hProcess, 60000);
  DWORD exit_code = 1;
  ::GetExitCodeProcess(process.hProcess, &exit_code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  EXPECT_EQ(exit_code, 0u);

  std::ifstream in(output.c_str(), std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  ::DeleteFileW(output.c_str());
  const std::vector<std::string> expected = {
      HexOf("--gtest_filter=CommandLineChildTest.*"),
      HexOf("two words"),
      HexOf(""),
      HexOf("z\xC3\xBCrich"),
      HexOf(""),  // the unpaired surrogate keeps its place
      HexOf("\xF0\x9F\x98\x80"),
      HexOf("last"),
  };
  EXPECT_EQ(lines, expected);
}

}  // namespace

#endif  // _WIN32
