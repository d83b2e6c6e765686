#include "input/gesture_synthesis.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/recording_input_platform.h"
#include "tests/input/input_test_support.h"

namespace lanternquill {
namespace {

struct GestureCase {
  std::string name;
  std::vector<std::string> calls;
};

TEST(GestureSynthesisTest, EachNamedGesturePressesItsCombinationInOneCall) {
  const std::string windows_tab =
      "send key 5B down, key 09 down, key 09 up, key 5B up";
  const std::string alt_tab =
      "send key 12 down, key 09 down, key 09 up, key 12 up";
  const std::string windows = "send key 5B down, key 5B up";
  const GestureCase cases[] = {
      {"mission_control", {windows_tab}},
      {"expose_all", {windows_tab}},
      {"show_desktop", {"send key 5B down, key 44 down, key 44 up, key 5B up"}},
      {"app_switcher", {alt_tab}},
      {"cmd_tab", {alt_tab}},
      // Ctrl is pressed before the Windows key and released after it.
      {"prev_desktop",
       {"send key 11 down, key 5B down, key 25 down, "
        "key 25 up, key 5B up, key 11 up"}},
      {"next_desktop",
       {"send key 11 down, key 5B down, key 27 down, "
        "key 27 up, key 5B up, key 11 up"}},
      {"launchpad", {windows}},
      {"spotlight", {windows}},
      {"search", {windows}},
  };
  for (const GestureCase& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingInputPlatform platform;
    PerformGesture(c.name, platform);
    EXPECT_EQ(platform.DescribeCalls(), c.calls);
  }
}

TEST(GestureSynthesisTest, NamesThatOnlyResembleAGestureDoNothing) {
  const std::string near_misses[] = {
      "",
      "Mission_control",
      "MISSION_CONTROL",
      "mission control",
      "next desktop",
      "next_desktop ",
      " search",
      "searc",
      "searchx",
      std::string("search\0", 7),
  };
  for (const std::string& name : near_misses) {
    SCOPED_TRACE(name);
    RecordingInputPlatform platform;
    PerformGesture(name, platform);
    EXPECT_TRUE(platform.calls().empty());
  }
}

}  // namespace
}  // namespace lanternquill
