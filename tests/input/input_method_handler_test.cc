#include "input/input_method_handler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "codec/encodable_value.h"
#include "input/recording_input_platform.h"
#include "tests/input/input_test_support.h"

namespace lanternquill {
namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

constexpr char kSuccess[] = "success";
const std::string kLeftClick = "send mouse 0x2, mouse 0x4";
const std::string kZoomIn =
    "send key 11 down, key BB down, key BB up, key 11 up";

std::string InvalidArgs(const std::string& message) {
  return "error INVALID_ARGS: " + message;
}

struct DispatchCase {
  std::string method;
  std::optional<EncodableValue> arguments;
  std::string answer;
  std::vector<std::string> calls;  // the cursor starts at (100, 200)
};

void ExpectDispatch(const DispatchCase& c) {
  SCOPED_TRACE(c.method);
  RecordingInputPlatform platform;
  platform.set_cursor({100, 200});
  EXPECT_EQ(HandleCall(c.method, c.arguments, platform), c.answer);
  EXPECT_EQ(platform.DescribeCalls(), c.calls);
}

TEST(InputMethodHandlerTest, PerformsEachMethodAndAnswersAfterwards) {
  const double nan = std::nan("");
  const DispatchCase cases[] = {
      {"checkAccessibility", std::nullopt, "success true", {}},
      {"requestAccessibility", EncodableMap{{"dx", 1.0}}, "success true", {}},
      // Truncation toward zero; NaN is no move, beyond int32 clamps.
      {"mouseMove",
       EncodableMap{{"dx", 2.9}, {"dy", -2.9}},
       kSuccess,
       {"cursor 102 198"}},
      {"mouseMove",
       EncodableMap{{"dx", 0.4}, {"dy", -0.7}},
       kSuccess,
       {"cursor 100 200"}},
      {"mouseMove",
       EncodableMap{{"dx", nan}, {"dy", 1e300}},
       kSuccess,
       {"cursor 100 2147483647"}},
      {"mouseMove",
       EncodableMap{{"dx", -HUGE_VAL}, {"dy", 3e9}},
       kSuccess,
       {"cursor -2147483548 2147483647"}},
      // The string keys are found among keys of kinds ordered before and
      // after strings.
      {"mouseMove",
       EncodableMap{{1, 5.0},
                    {"dx", 1.0},
                    {"dy", 2.0},
                    {std::vector<uint8_t>{'d', 'y'}, 5.0},
                    {EncodableList{"dx"}, 5.0}},
       kSuccess,
       {"cursor 101 202"}},
      {"mouseClick",
       EncodableMap{{"button", "right"}, {"clicks", 2}},
       kSuccess,
       {"send mouse 0x8, mouse 0x10", "sleep 50",
        "send mouse 0x8, mouse 0x10"}},
      {"mouseClick", EncodableMap{{"clicks", -1}}, kSuccess, {}},
      {"mouseScroll",
       EncodableMap{{"dx", 2}, {"dy", -3}},
       kSuccess,
       {"send mouse 0x800 data -360", "send mouse 0x1000 data 240"}},
      {"typeText",
       EncodableMap{{"text", "\xC3\xA9"}, {"extra", 1}},
       kSuccess,
       {"send unicode 00E9 down, unicode 00E9 up", "sleep 10"}},
      {"pressKey",
       EncodableMap{{"keyCode", 0x41}},
       kSuccess,
       {"send key 41 down, key 41 up"}},
      {"pressKey",
       EncodableMap{{"keyCode", 0x44}, {"modifiers", 0x100000}},
       kSuccess,
       {"send key 5B down, key 44 down, key 44 up, key 5B up"}},
      {"mediaKey",
       EncodableMap{{"keyCode", 0xB3}, {"modifiers", 0x40000}},
       kSuccess,
       {"send key B3 down, key B3 up"}},
      {"gesture",
       EncodableMap{{"gesture", "launchpad"}},
       kSuccess,
       {"send key 5B down, key 5B up"}},
      {"gesture", EncodableMap{{"gesture", "Launchpad"}}, kSuccess, {}},
      // One zoom step however far the scale is from 1.0.
      {"pinchZoom", EncodableMap{{"scale", 1.5}}, kSuccess, {kZoomIn}},
      {"pinchZoom", EncodableMap{{"scale", 40.0}}, kSuccess, {kZoomIn}},
      {"pinchZoom",
       EncodableMap{{"scale", 0.5}},
       kSuccess,
       {"send key 11 down, key BD down, key BD up, key 11 up"}},
      {"pinchZoom", EncodableMap{{"scale", 1.0}}, kSuccess, {}},
      {"pinchZoom", EncodableMap{{"scale", nan}}, kSuccess, {}},
  };
  for (const DispatchCase& c : cases) {
    ExpectDispatch(c);
  }
}

TEST(InputMethodHandlerTest, UnlistedMethodNamesAreNotImplemented) {
  for (const char* name : {"", "MouseMove", "mousemove", "mouseMove ",
                           "checkaccessibility", "pinch_zoom"}) {
    ExpectDispatch(
        {name, EncodableMap{{"dx", 1.0}, {"dy", 1.0}}, "not implemented", {}});
  }
}

TEST(InputMethodHandlerTest, CutsClickCountsToTen) {
  for (const std::int32_t clicks : {11, 2147483647}) {  // 11 fails fast
    RecordingInputPlatform platform;
    EXPECT_EQ(
        HandleCall("mouseClick", EncodableMap{{"clicks", clicks}}, platform),
        kSuccess);
    ASSERT_EQ(platform.DescribeCalls().size(), 19u);  // 10 clicks, 9 pauses
  }
}

TEST(InputMethodHandlerTest, RefusesTextsOfMoreThan3500UnitsBeforeTyping) {
  const std::string too_long =
      InvalidArgs("Text longer than 3500 UTF-16 units; send it in parts");
  std::string euros;  // 3500 units of three bytes each
  for (int i = 0; i < 3500; ++i) {
    euros += "\xE2\x82\xAC";
  }
  const std::pair<std::string, std::string> cases[] = {
      {std::string(3500, 'a'), kSuccess},
      {std::string(3501, 'a'), too_long},
      {euros, kSuccess},
      {euros + "\xE2\x82\xAC", too_long}};
  for (const auto& [text, answer] : cases) {
    RecordingInputPlatform platform;
    EXPECT_EQ(HandleCall("typeText", EncodableMap{{"text", text}}, platform),
              answer);
    EXPECT_EQ(platform.calls().size(), answer == kSuccess ? 7000u : 0u);
  }
  RecordingInputPlatform needs_no_conversion;
  needs_no_conversion.set_conversion_fails(true);
  EXPECT_EQ(
      HandleCall("typeText", EncodableMap{{"text", std::string(1000000, 'a')}},
                 needs_no_conversion),
      too_long);
}

// Absent arguments, arguments that are no map, and a map whose only key is
// the int32 1.
std::vector<std::optional<EncodableValue>> ArgumentsWithoutAMap() {
  return {std::nullopt, EncodableValue(),
          EncodableValue(EncodableList{EncodableValue("dx"), 1.0}),
          EncodableValue("text"), EncodableValue(EncodableMap{{1, 1.0}})};
}

TEST(InputMethodHandlerTest, ActionsWithoutAnArgumentMapAnswerTheirError) {
  const std::pair<const char*, const char*> rows[] = {
      {"mouseMove", "Missing dx or dy"}, {"mouseScroll", "Missing dx or dy"},
      {"typeText", "Missing text"},      {"pressKey", "Missing keyCode"},
      {"mediaKey", "Missing keyCode"},   {"gesture", "Missing gesture"},
      {"pinchZoom", "Missing scale"},
  };
  for (const auto& [method, message] : rows) {
    for (const auto& arguments : ArgumentsWithoutAMap()) {
      ExpectDispatch({method, arguments, InvalidArgs(message), {}});
    }
  }
}

TEST(InputMethodHandlerTest, ClickAndAccessibilityNeedNoArgumentMap) {
  for (const auto& arguments : ArgumentsWithoutAMap()) {
    ExpectDispatch({"mouseClick", arguments, kSuccess, {kLeftClick}});
    ExpectDispatch({"checkAccessibility", arguments, "success true", {}});
    ExpectDispatch({"requestAccessibility", arguments, "success true", {}});
  }
}

TEST(InputMethodHandlerTest, MissingOrWronglyTypedArgumentsInjectNothing) {
  const std::string dx_dy = InvalidArgs("Missing dx or dy");
  const std::string key_code = InvalidArgs("Missing keyCode");
  const std::string click = InvalidArgs("Invalid button or clicks");
  const DispatchCase cases[] = {
      {"mouseMove", EncodableMap{{"dx", 1.0}}, dx_dy, {}},
      {"mouseMove", EncodableMap{{"dx", 1}, {"dy", 1.0}}, dx_dy, {}},
      {"mouseMove",
       EncodableMap{{"dx", 1.0}, {"dy", EncodableValue()}},
       dx_dy,
       {}},
      {"mouseScroll", EncodableMap{{"dy", 1}}, dx_dy, {}},
      {"mouseScroll",
       EncodableMap{{"dx", 1}, {"dy", std::int64_t{1}}},
       dx_dy,
       {}},
      {"mouseClick", EncodableMap{{"clicks", 2.0}}, click, {}},
      {"mouseClick", EncodableMap{{"button", 1}, {"clicks", 1}}, click, {}},
      {"typeText",
       EncodableMap{{"text", true}},
       InvalidArgs("Missing text"),
       {}},
      // A key of another kind never matches, even with the same bytes.
      {"typeText",
       EncodableMap{{std::vector<uint8_t>{'t', 'e', 'x', 't'}, "a"}},
       InvalidArgs("Missing text"),
       {}},
      {"pressKey", EncodableMap{{"keyCode", std::int64_t{0x41}}}, key_code, {}},
      {"pressKey",
       EncodableMap{{"keyCode", 0x41}, {"modifiers", 1.0}},
       key_code,
       {}},
      {"gesture",
       EncodableMap{{"gesture", EncodableList{}}},
       InvalidArgs("Missing gesture"),
       {}},
      {"pinchZoom",
       EncodableMap{{"scale", 2}},
       InvalidArgs("Missing scale"),
       {}},
  };
  for (const DispatchCase& c : cases) {
    ExpectDispatch(c);
  }
}

}  // namespace
}  // namespace lanternquill
