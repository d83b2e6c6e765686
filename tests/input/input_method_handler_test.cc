#include "input/input_method_handler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "codec/encodable_value.h"
#include "input/recording_input_platform.h"
#include "messaging/method_call.h"
#include "tests/input/input_test_support.h"

namespace lanternquill {
namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

constexpr char kSuccess[] = "success";
constexpr char kNotImplemented[] = "not implemented";
const std::string kLeftClick = "send mouse 0x2, mouse 0x4";

std::string InvalidArgs(const std::string& message) {
  return "error INVALID_ARGS: " + message;
}

struct DispatchCase {
  const char* label;
  std::string method;
  std::optional<EncodableValue> arguments;
  std::string answer;
  std::vector<std::string> calls;  // the cursor starts at (100, 200)
};

void ExpectDispatch(const DispatchCase& c) {
  SCOPED_TRACE(c.label);
  RecordingInputPlatform platform;
  platform.set_cursor({100, 200});
  EXPECT_EQ(HandleCall(c.method, c.arguments, platform), c.answer);
  EXPECT_EQ(DescribeCalls(platform), c.calls);
}

TEST(InputMethodHandlerTest, PerformsEachMethodAndAnswersAfterwards) {
  const double nan = std::nan("");
  const double infinity = std::numeric_limits<double>::infinity();
  const DispatchCase cases[] = {
      {"accessibility check",
       "checkAccessibility",
       std::nullopt,
       "success true",
       {}},
      {"accessibility request",
       "requestAccessibility",
       EncodableValue(),
       "success true",
       {}},
      {"move truncates toward zero",
       "mouseMove",
       EncodableMap{{"dx", 2.9}, {"dy", -2.9}},
       kSuccess,
       {"cursor 102 198"}},
      {"move below a pixel",
       "mouseMove",
       EncodableMap{{"dx", 0.4}, {"dy", -0.7}},
       kSuccess,
       {"cursor 100 200"}},
      {"move with NaN and huge values",
       "mouseMove",
       EncodableMap{{"dx", nan}, {"dy", 1e300}},
       kSuccess,
       {"cursor 100 2147483647"}},
      {"move with infinities",
       "mouseMove",
       EncodableMap{{"dx", -infinity}, {"dy", 3e9}},
       kSuccess,
       {"cursor -2147483548 2147483647"}},
      {"click defaults", "mouseClick", EncodableMap{}, kSuccess, {kLeftClick}},
      {"double right click",
       "mouseClick",
       EncodableMap{{"button", "right"}, {"clicks", 2}},
       kSuccess,
       {"send mouse 0x8, mouse 0x10", "sleep 50",
        "send mouse 0x8, mouse 0x10"}},
      {"no clicks", "mouseClick", EncodableMap{{"clicks", 0}}, kSuccess, {}},
      {"negative clicks",
       "mouseClick",
       EncodableMap{{"clicks", -1}},
       kSuccess,
       {}},
      {"scroll",
       "mouseScroll",
       EncodableMap{{"dx", 2}, {"dy", -3}},
       kSuccess,
       {"send mouse 0x800 data -360", "send mouse 0x1000 data 240"}},
      {"type",
       "typeText",
       EncodableMap{{"text", "\xC3\xA9"}, {"extra", 1}},
       kSuccess,
       {"send unicode 00E9 down, unicode 00E9 up", "sleep 10"}},
      {"key alone",
       "pressKey",
       EncodableMap{{"keyCode", 0x41}},
       kSuccess,
       {"send key 41 down, key 41 up"}},
      {"key with modifiers",
       "pressKey",
       EncodableMap{{"keyCode", 0x44}, {"modifiers", 0x100000}},
       kSuccess,
       {"send key 5B down, key 44 down, key 44 up, key 5B up"}},
      {"media key ignores modifiers",
       "mediaKey",
       EncodableMap{{"keyCode", 0xB3}, {"modifiers", 0x40000}},
       kSuccess,
       {"send key B3 down, key B3 up"}},
      {"gesture",
       "gesture",
       EncodableMap{{"gesture", "launchpad"}},
       kSuccess,
       {"send key 5B down, key 5B up"}},
      {"unknown gesture",
       "gesture",
       EncodableMap{{"gesture", "Launchpad"}},
       kSuccess,
       {}},
      {"zoom in",
       "pinchZoom",
       EncodableMap{{"scale", 1.5}},
       kSuccess,
       {"send key 11 down, key BB down, key BB up, key 11 up"}},
      {"zoom in is one step however far",
       "pinchZoom",
       EncodableMap{{"scale", 40.0}},
       kSuccess,
       {"send key 11 down, key BB down, key BB up, key 11 up"}},
      {"zoom out",
       "pinchZoom",
       EncodableMap{{"scale", 0.5}},
       kSuccess,
       {"send key 11 down, key BD down, key BD up, key 11 up"}},
      {"zoom exactly 1.0",
       "pinchZoom",
       EncodableMap{{"scale", 1.0}},
       kSuccess,
       {}},
      {"zoom NaN", "pinchZoom", EncodableMap{{"scale", nan}}, kSuccess, {}},
  };
  for (const DispatchCase& c : cases) {
    ExpectDispatch(c);
  }
}

TEST(InputMethodHandlerTest, UnlistedMethodNamesAreNotImplemented) {
  const char* names[] = {"",           "MouseMove",          "mousemove",
                         "mouseMove ", "checkaccessibility", "keyPress",
                         "pinch_zoom"};
  for (const char* name : names) {
    ExpectDispatch({name,
                    name,
                    EncodableMap{{"dx", 1.0}, {"dy", 1.0}},
                    kNotImplemented,
                    {}});
  }
}

// Arguments that do not form a usable map: absent, or not a map at all, or a
// map whose only key is the int32 1.
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
      ExpectDispatch({method, method, arguments, InvalidArgs(message), {}});
    }
  }
}

TEST(InputMethodHandlerTest, ClickAndAccessibilityNeedNoArgumentMap) {
  for (const auto& arguments : ArgumentsWithoutAMap()) {
    ExpectDispatch({"click", "mouseClick", arguments, kSuccess, {kLeftClick}});
    ExpectDispatch(
        {"check", "checkAccessibility", arguments, "success true", {}});
    ExpectDispatch(
        {"request", "requestAccessibility", arguments, "success true", {}});
  }
}

TEST(InputMethodHandlerTest, MissingOrWronglyTypedArgumentsInjectNothing) {
  const std::string dx_dy = InvalidArgs("Missing dx or dy");
  const std::string key_code = InvalidArgs("Missing keyCode");
  const std::string click = InvalidArgs("Invalid button or clicks");
  const DispatchCase cases[] = {
      {"move without dy", "mouseMove", EncodableMap{{"dx", 1.0}}, dx_dy, {}},
      {"move without dx", "mouseMove", EncodableMap{{"dy", 1.0}}, dx_dy, {}},
      {"move with an int32",
       "mouseMove",
       EncodableMap{{"dx", 1}, {"dy", 1.0}},
       dx_dy,
       {}},
      {"move with null",
       "mouseMove",
       EncodableMap{{"dx", 1.0}, {"dy", EncodableValue()}},
       dx_dy,
       {}},
      {"scroll without dx", "mouseScroll", EncodableMap{{"dy", 1}}, dx_dy, {}},
      {"scroll with a double",
       "mouseScroll",
       EncodableMap{{"dx", 1}, {"dy", 1.0}},
       dx_dy,
       {}},
      {"scroll with an int64",
       "mouseScroll",
       EncodableMap{{"dx", 1}, {"dy", std::int64_t{1}}},
       dx_dy,
       {}},
      {"click with a double count",
       "mouseClick",
       EncodableMap{{"clicks", 2.0}},
       click,
       {}},
      {"click with an int64 count",
       "mouseClick",
       EncodableMap{{"clicks", std::int64_t{1}}},
       click,
       {}},
      {"click with a number as button",
       "mouseClick",
       EncodableMap{{"button", 1}, {"clicks", 1}},
       click,
       {}},
      {"text as a bool",
       "typeText",
       EncodableMap{{"text", true}},
       InvalidArgs("Missing text"),
       {}},
      {"key code as an int64",
       "pressKey",
       EncodableMap{{"keyCode", std::int64_t{0x41}}},
       key_code,
       {}},
      {"modifiers as a double",
       "pressKey",
       EncodableMap{{"keyCode", 0x41}, {"modifiers", 1.0}},
       key_code,
       {}},
      {"media key as a string",
       "mediaKey",
       EncodableMap{{"keyCode", "B3"}},
       key_code,
       {}},
      {"gesture as a list",
       "gesture",
       EncodableMap{{"gesture", EncodableList{}}},
       InvalidArgs("Missing gesture"),
       {}},
      {"scale as an int32",
       "pinchZoom",
       EncodableMap{{"scale", 2}},
       InvalidArgs("Missing scale"),
       {}},
      {"key as bytes rather than a string",
       "typeText",
       EncodableMap{{std::vector<uint8_t>{'t', 'e', 'x', 't'}, "a"}},
       InvalidArgs("Missing text"),
       {}},
  };
  for (const DispatchCase& c : cases) {
    ExpectDispatch(c);
  }
}

// Fails every operation as an allocation would.
class FailingInputPlatform final : public InputPlatform {
 public:
  UINT SendInput(UINT, INPUT*, int) override { throw std::bad_alloc(); }
  BOOL GetCursorPos(POINT*) override { throw std::runtime_error("cursor"); }
  BOOL SetCursorPos(int, int) override { return TRUE; }
  void Sleep(DWORD) override {}
  int MultiByteToWideChar(UINT, DWORD, const char*, int, WCHAR*, int) override {
    throw std::bad_alloc();
  }
};

TEST(InputMethodHandlerTest, AnswersOnceWithoutThrowingWhenAnOperationThrows) {
  const std::pair<const char*, EncodableValue> calls[] = {
      {"mouseClick", EncodableMap{}},
      {"mouseMove", EncodableMap{{"dx", 1.0}, {"dy", 1.0}}},
      {"typeText", EncodableMap{{"text", "a"}}},
  };
  for (const auto& [method, arguments] : calls) {
    SCOPED_TRACE(method);
    FailingInputPlatform platform;
    std::string answer;
    EXPECT_NO_THROW(answer = HandleCall(method, arguments, platform));
    EXPECT_EQ(answer, "error INPUT_FAILED: Input could not be synthesized");
  }
}

}  // namespace
}  // namespace lanternquill
