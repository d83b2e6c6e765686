#include "sim/engine/engine_trace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/engine/json_string.h"

namespace lanternquill::sim {
namespace {

TEST(EngineTraceTest, EscapesStringsAndReadsUtf8AsThePlatformDoes) {
  const struct {
    std::string input;
    std::string expected;
  } cases[] = {
      {"plain", "\"plain\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {"\n\r\t", "\"\\n\\r\\t\""},
      {std::string("\x01\x1f", 2), "\"\\u0001\\u001f\""},
      {std::string("\0", 1), "\"\\u0000\""},
      {"\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80",
       "\"\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80\""},
      // What the platform cannot read becomes U+FFFD as in typed text: a lone
      // continuation byte, a truncated sequence as one, each byte of an
      // overlong form, and an encoded surrogate's lead with its second byte.
      {"a\x80z", "\"a\xef\xbf\xbdz\""},
      {"\xe2\x82", "\"\xef\xbf\xbd\""},
      {"\xc0\xaf", "\"\xef\xbf\xbd\xef\xbf\xbd\""},
      {"\xed\xa0\x80", "\"\xef\xbf\xbd\xef\xbf\xbd\""},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(JsonString(test.input), test.expected) << test.input;
  }
}

TEST(EngineTraceTest, WritesUtf16AsAsciiForTheTestTools) {
  const struct {
    std::u16string input;
    std::string expected;
  } cases[] = {
      {u"a\"b\\c\n", "\"a\\\"b\\\\c\\n\""},
      {std::u16string(u"\x01\x7f\u00e9", 3), "\"\\u0001\\u007f\\u00e9\""},
      {u"\U0001F600", "\"\\ud83d\\ude00\""},
      {std::u16string(1, 0xD83D), "\"\\ud83d\""},
  };
  for (const auto& test : cases) {
    const std::basic_string<WCHAR> units(test.input.begin(), test.input.end());
    EXPECT_EQ(AsciiJsonString(units), test.expected) << test.expected;
  }
}

TEST(EngineTraceTest, ConvertsWidePathsToUtf8) {
  EXPECT_EQ(WideToUtf8(nullptr), "");
  EXPECT_EQ(WideToUtf8(L"data\\flutter_assets"), "data\\flutter_assets");
  EXPECT_EQ(WideToUtf8(L"\u00e4\u20ac"), "\xc3\xa4\xe2\x82\xac");
  // One code unit where wchar_t has 32 bits, a surrogate pair where 16.
  EXPECT_EQ(WideToUtf8(L"\U0001F600"), "\xf0\x9f\x98\x80");
  if constexpr (sizeof(wchar_t) == 2) {
    const wchar_t unpaired[] = {L'a', 0xD83D, L'b', 0};
    EXPECT_EQ(WideToUtf8(unpaired),
              "a\xef\xbf\xbd"
              "b");
  }
}

TEST(EngineTraceTest, WritesFieldsInOrderWithNullsAndLists) {
  const std::string line =
      TraceLine("FlutterDesktopEngineCreate")
          .String("assets_path", "data\\flutter_assets")
          .OptionalString("entrypoint", nullptr)
          .StringList("arguments", {std::string("--a"), std::nullopt})
          .Int("argc", -2)
          .Bool("set", true)
          .Null("registrar")
          .Finish();
  EXPECT_EQ(line,
            "{\"call\": \"FlutterDesktopEngineCreate\", \"assets_path\": "
            "\"data\\\\flutter_assets\", \"entrypoint\": null, \"arguments\": "
            "[\"--a\", null], \"argc\": -2, \"set\": true, \"registrar\": "
            "null}");
}

TEST(EngineTraceTest, KeepsLinesWholeWhenThreadsTraceAtOnce) {
  const auto path =
      std::filesystem::temp_directory_path() /
      ("lq_trace_threads_" +
       std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
       ".jsonl");
  std::filesystem::remove(path);
  EngineTrace::Instance().Open(path.u8string());
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) {
        EngineTrace::Instance().Write(
            TraceLine("Call").Int("thread", t).Int("i", i));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EngineTrace::Instance().Close();

  int count = 0;
  {
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
      ++count;
      EXPECT_EQ(line.rfind("{\"call\": \"Call\", \"thread\": ", 0), 0u) << line;
      EXPECT_EQ(line.back(), '}') << line;
    }
  }
  EXPECT_EQ(count, 800);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace lanternquill::sim
