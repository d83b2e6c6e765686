#include "input/text_typing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/recording_input_platform.h"
#include "tests/input/input_test_support.h"

namespace lanternquill {
namespace {

// One typed unit: its press and release in one call, then the pause.
std::vector<std::string> Typed(const std::vector<std::string>& units) {
  std::vector<std::string> calls;
  for (const std::string& unit : units) {
    std::string send = "send unicode ";
    send.append(unit).append(" down, unicode ").append(unit).append(" up");
    calls.push_back(send);
    calls.push_back("sleep 10");
  }
  return calls;
}

struct TypeCase {
  const char* label;
  std::string text;
  std::vector<std::string> units;
};

TEST(TextTypingTest, TypesEveryUtf16UnitWithItsOwnPause) {
  const TypeCase cases[] = {
      {"empty", "", {}},
      {"ascii", "Hi", {"0048", "0069"}},
      {"two-byte character", "\xC3\xA9", {"00E9"}},
      {"beyond U+FFFF, high surrogate first",
       "\xF0\x9F\x98\x80",
       {"D83D", "DE00"}},
      {"control characters stay characters", "a\n\t", {"0061", "000A", "0009"}},
      {"embedded NUL ends the text",
       std::string("ab\0cd", 5),
       {"0061", "0062"}},
      {"ill-formed bytes are typed as replaced",
       "a\x80z",
       {"0061", "FFFD", "007A"}},
  };
  for (const TypeCase& c : cases) {
    SCOPED_TRACE(c.label);
    RecordingInputPlatform platform;
    TypeText(c.text, platform);
    EXPECT_EQ(platform.DescribeCalls(), Typed(c.units));
  }
}

TEST(TextTypingTest, TypesTextsLongerThanTheStackBuffer) {
  std::string text(300, 'x');
  text += "\xF0\x9F\x98\x80";
  RecordingInputPlatform platform;
  TypeText(text, platform);
  std::vector<std::string> units(300, "0078");
  units.push_back("D83D");
  units.push_back("DE00");
  EXPECT_EQ(platform.DescribeCalls(), Typed(units));
}

TEST(TextTypingTest, TypesNothingWhenTheConversionFails) {
  RecordingInputPlatform platform;
  platform.set_conversion_fails(true);
  TypeText("abc", platform);
  EXPECT_TRUE(platform.calls().empty());
}

}  // namespace
}  // namespace lanternquill
