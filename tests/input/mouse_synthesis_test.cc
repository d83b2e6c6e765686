#include "input/mouse_synthesis.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "input/recording_input_platform.h"
#include "tests/input/input_test_support.h"

namespace lanternquill {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

struct ClickCase {
  std::string button;
  std::int32_t clicks;
  std::vector<std::string> calls;
};

TEST(MouseSynthesisTest, ClickMousePressesAndReleasesWithPausesBetween) {
  const std::string left = "send mouse 0x2, mouse 0x4";
  const std::string right = "send mouse 0x8, mouse 0x10";
  const std::string middle = "send mouse 0x20, mouse 0x40";
  const ClickCase cases[] = {
      {"left", 1, {left}},
      {"right", 1, {right}},
      {"middle", 1, {middle}},
      // Any other name clicks the left button.
      {"", 1, {left}},
      {"Right", 1, {left}},
      {"MIDDLE", 1, {left}},
      {"right ", 1, {left}},
      {"back", 1, {left}},
      {"middle", 2, {middle, "sleep 50", middle}},
      {"left", 3, {left, "sleep 50", left, "sleep 50", left}},
      {"left", 0, {}},
      {"right", -1, {}},
      {"left", kMin, {}},
  };
  for (const ClickCase& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.button << "\" x" << c.clicks);
    RecordingInputPlatform platform;
    ClickMouse(c.button, c.clicks, platform);
    EXPECT_EQ(platform.DescribeCalls(), c.calls);
  }
}

struct ScrollCase {
  std::int32_t dx;
  std::int32_t dy;
  std::vector<std::string> calls;
};

TEST(MouseSynthesisTest, ScrollMouseTurnsVerticalThenHorizontalWheel) {
  const ScrollCase cases[] = {
      {2, -3, {"send mouse 0x800 data -360", "send mouse 0x1000 data 240"}},
      {0, 0, {}},
      {0, 1, {"send mouse 0x800 data 120"}},
      {-5, 0, {"send mouse 0x1000 data -600"}},
      // The largest amounts that fit, then the first ones that clamp.
      {-17895697,
       17895697,
       {"send mouse 0x800 data 2147483640",
        "send mouse 0x1000 data -2147483640"}},
      {17895698,
       -17895698,
       {"send mouse 0x800 data -2147483648",
        "send mouse 0x1000 data 2147483647"}},
      {kMin,
       kMax,
       {"send mouse 0x800 data 2147483647",
        "send mouse 0x1000 data -2147483648"}},
  };
  for (const ScrollCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.dx << ", " << c.dy);
    RecordingInputPlatform platform;
    ScrollMouse(c.dx, c.dy, platform);
    EXPECT_EQ(platform.DescribeCalls(), c.calls);
  }
}

struct MoveCase {
  POINT start;
  std::int32_t dx;
  std::int32_t dy;
  std::vector<std::string> calls;
};

TEST(MouseSynthesisTest, MoveMouseByMovesFromTheCursorAndClampsTheTarget) {
  const MoveCase cases[] = {
      {{100, 200}, -5, 0, {"cursor 95 200"}},
      {{100, 200}, 0, 0, {"cursor 100 200"}},
      {{-10, 3000}, 25, -3500, {"cursor 15 -500"}},
      {{kMax - 1, kMin + 1}, 5, -5, {"cursor 2147483647 -2147483648"}},
      {{kMin, kMax}, kMin, kMax, {"cursor -2147483648 2147483647"}},
      {{kMax, kMin}, kMin, kMax, {"cursor -1 -1"}},
  };
  for (const MoveCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start.x << "," << c.start.y << " by "
                                    << c.dx << "," << c.dy);
    RecordingInputPlatform platform;
    platform.set_cursor(c.start);
    MoveMouseBy(c.dx, c.dy, platform);
    EXPECT_EQ(platform.DescribeCalls(), c.calls);
  }
}

TEST(MouseSynthesisTest, MoveMouseBySkipsTheMoveWhenTheCursorIsUnreadable) {
  RecordingInputPlatform platform;
  platform.set_cursor({100, 200});
  platform.set_cursor_readable(false);
  MoveMouseBy(-5, 7, platform);
  EXPECT_TRUE(platform.calls().empty());
  EXPECT_EQ(platform.cursor().x, 100);
  EXPECT_EQ(platform.cursor().y, 200);
}

}  // namespace
}  // namespace lanternquill
