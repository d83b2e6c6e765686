#include "codec/diagnostics.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace flutter {
namespace {

// Each text goes out exactly, with one line end, however long it is, also
// when given in pieces.
TEST(DiagnosticsTest, WritesTheTextAndOneLineEnd) {
  for (size_t length : {0u, 1u, 1023u, 1024u, 1025u, 70000u}) {
    const std::string text(length, 'x');
    const std::string head = text.substr(0, length / 2);
    const std::string tail = text.substr(length / 2);
    ::testing::internal::CaptureStderr();
    WriteDiagnosticLine(text);
    WriteDiagnosticLine({head, "", tail});
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              text + "\n" + text + "\n")
        << "length " << length;
  }
}

// Replies may run on any thread; a line split by another thread's line would
// turn two diagnostics into garbage.
TEST(DiagnosticsTest, LinesWrittenByThreadsAtOnceEachStayWhole) {
  constexpr int kThreads = 4;
  constexpr int kLinesPerThread = 2000;
  std::map<std::string, int> expected;
  for (int t = 0; t < kThreads; ++t) {
    expected[std::string(30, static_cast<char>('a' + t))] = kLinesPerThread;
  }

  ::testing::internal::CaptureStderr();
  std::vector<std::thread> threads;
  for (const auto& entry : expected) {
    const std::string& text = entry.first;
    threads.emplace_back([&text] {
      for (int i = 0; i < kLinesPerThread; ++i) {
        WriteDiagnosticLine(text);
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  std::istringstream written(::testing::internal::GetCapturedStderr());

  std::map<std::string, int> seen;
  for (std::string line; std::getline(written, line);) {
    ++seen[line];
  }
  EXPECT_EQ(seen, expected);
}

}  // namespace
}  // namespace flutter
