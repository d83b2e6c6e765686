#include "input/input_method_handler.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>

#include "input/gesture_synthesis.h"
#include "input/keyboard_synthesis.h"
#include "input/mouse_synthesis.h"
#include "input/text_typing.h"

namespace lanternquill {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

enum class InputMethod {
  kCheckAccessibility,
  kRequestAccessibility,
  kMouseMove,
  kMouseClick,
  kMouseScroll,
  kTypeText,
  kPressKey,
  kMediaKey,
  kGesture,
  kPinchZoom,
};

struct MethodName {
  std::string_view name;
  InputMethod method;
};

// Tested in this order; names compare exactly.
constexpr std::array<MethodName, 10> kMethodNames = {{
    {"checkAccessibility", InputMethod::kCheckAccessibility},
    {"requestAccessibility", InputMethod::kRequestAccessibility},
    {"mouseMove", InputMethod::kMouseMove},
    {"mouseClick", InputMethod::kMouseClick},
    {"mouseScroll", InputMethod::kMouseScroll},
    {"typeText", InputMethod::kTypeText},
    {"pressKey", InputMethod::kPressKey},
    {"mediaKey", InputMethod::kMediaKey},
    {"gesture", InputMethod::kGesture},
    {"pinchZoom", InputMethod::kPinchZoom},
}};

constexpr char kInvalidArgs[] = "INVALID_ARGS";
constexpr char kMissingDxOrDy[] = "Missing dx or dy";
constexpr char kMissingText[] = "Missing text";
constexpr char kMissingKeyCode[] = "Missing keyCode";
constexpr char kMissingGesture[] = "Missing gesture";
constexpr char kMissingScale[] = "Missing scale";
// "mouseClick" has defaults for both keys, so only a value of the wrong kind
// can be invalid.
constexpr char kInvalidButtonOrClicks[] = "Invalid button or clicks";

// Zoom steps of "pinchZoom": Ctrl with the plus or minus key.
constexpr std::int32_t kZoomInKey = VK_OEM_PLUS;
constexpr std::int32_t kZoomOutKey = VK_OEM_MINUS;

// Bounds of one call's work. Each operation blocks the UI thread, pauses
// included, until it has finished: without them one small message could keep
// the window from answering for years (2^31 clicks at 50 ms each).
// Stops a click count that would block for more than half a second: larger
// counts are cut to it. Real use is a double or triple click.
constexpr std::int32_t kMaxClicks = 10;
// Stops a text that would block for more than a minute: 3500 pauses of 10 ms
// take 35 s, and 55 s where every pause lasts Windows' default 15.6 ms timer
// tick. A longer text is refused before anything is typed.
constexpr std::size_t kMaxTypedUnits = 3500;
constexpr char kTextTooLong[] =
    "Text longer than 3500 UTF-16 units; send it in parts";

// The one answer of a call, sent after the operation has finished.
struct Reply {
  enum class Kind { kSuccess, kTrue, kInvalid, kNotImplemented };
  Kind kind;
  const char* message;
};

constexpr Reply kSuccess = {Reply::Kind::kSuccess, nullptr};

Reply InvalidArgs(const char* message) {
  return {Reply::Kind::kInvalid, message};
}

const EncodableValue* FindArgument(const EncodableMap* arguments,
                                   std::string_view key) {
  if (arguments == nullptr) {
    return nullptr;
  }
  // Only a string key with the exact text matches; keys of any other kind
  // never do. The search follows the map's key order without making a value
  // of the key: alternatives by their index (a valueless key first), then
  // strings by their bytes.
  constexpr std::size_t kStringIndex = 5;
  static_assert(
      std::is_same_v<
          std::variant_alternative_t<kStringIndex, EncodableValue::Variant>,
          std::string>);
  const auto key_before = [](const EncodableMap::value_type& entry,
                             std::string_view text) {
    const auto* string = std::get_if<std::string>(&entry.first);
    if (string == nullptr) {
      return entry.first.index() + 1 < kStringIndex + 1;
    }
    return std::string_view(*string) < text;
  };
  const auto it =
      std::lower_bound(arguments->begin(), arguments->end(), key, key_before);
  if (it == arguments->end()) {
    return nullptr;
  }
  const auto* string = std::get_if<std::string>(&it->first);
  return string != nullptr && *string == key ? &it->second : nullptr;
}

// The value under `key` as T; null when absent or of another kind.
template <typename T>
const T* RequiredArgument(const EncodableMap* arguments, std::string_view key) {
  const EncodableValue* value = FindArgument(arguments, key);
  return value == nullptr ? nullptr : std::get_if<T>(value);
}

// The value under `key` as T, `fallback` when absent; null when it holds
// another kind.
template <typename T>
const T* OptionalArgument(const EncodableMap* arguments, std::string_view key,
                          const T& fallback) {
  const EncodableValue* value = FindArgument(arguments, key);
  return value == nullptr ? &fallback : std::get_if<T>(value);
}

// Truncates toward zero. The UI may send any double: NaN counts as no move
// and values beyond the int32 range clamp, since the plain conversion of
// either would be undefined.
std::int32_t TruncateToInt32(double value) {
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  if (std::isnan(value)) {
    return 0;
  }
  if (value >= kMax) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (value <= kMin) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(value);
}

bool FindMethod(std::string_view name, InputMethod& method) {
  for (const MethodName& entry : kMethodNames) {
    if (entry.name == name) {
      method = entry.method;
      return true;
    }
  }
  return false;
}

// Performs the call's operation and says how to answer it.
Reply Dispatch(const flutter::MethodCall<EncodableValue>& call,
               InputPlatform& platform) {
  InputMethod method{};
  if (!FindMethod(call.method_name(), method)) {
    return {Reply::Kind::kNotImplemented, nullptr};
  }
  const EncodableValue* raw_arguments = call.arguments();
  const EncodableMap* arguments =
      raw_arguments == nullptr ? nullptr
                               : std::get_if<EncodableMap>(raw_arguments);

  switch (method) {
    case InputMethod::kCheckAccessibility:
    case InputMethod::kRequestAccessibility:
      return {Reply::Kind::kTrue, nullptr};

    case InputMethod::kMouseMove: {
      const double* dx = RequiredArgument<double>(arguments, "dx");
      const double* dy = RequiredArgument<double>(arguments, "dy");
      if (dx == nullptr || dy == nullptr) {
        return InvalidArgs(kMissingDxOrDy);
      }
      MoveMouseBy(TruncateToInt32(*dx), TruncateToInt32(*dy), platform);
      return kSuccess;
    }

    case InputMethod::kMouseClick: {
      const std::string default_button = "left";
      const std::int32_t default_clicks = 1;
      const std::string* button =
          OptionalArgument(arguments, "button", default_button);
      const std::int32_t* clicks =
          OptionalArgument(arguments, "clicks", default_clicks);
      if (button == nullptr || clicks == nullptr) {
        return InvalidArgs(kInvalidButtonOrClicks);
      }
      ClickMouse(*button, std::min(*clicks, kMaxClicks), platform);
      return kSuccess;
    }

    case InputMethod::kMouseScroll: {
      const std::int32_t* dx = RequiredArgument<std::int32_t>(arguments, "dx");
      const std::int32_t* dy = RequiredArgument<std::int32_t>(arguments, "dy");
      if (dx == nullptr || dy == nullptr) {
        return InvalidArgs(kMissingDxOrDy);
      }
      ScrollMouse(*dx, *dy, platform);
      return kSuccess;
    }

    case InputMethod::kTypeText: {
      const std::string* text =
          RequiredArgument<std::string>(arguments, "text");
      if (text == nullptr) {
        return InvalidArgs(kMissingText);
      }
      if (!TypesAtMostUnits(*text, kMaxTypedUnits, platform)) {
        return InvalidArgs(kTextTooLong);
      }
      TypeText(*text, platform);
      return kSuccess;
    }

    case InputMethod::kPressKey: {
      const std::int32_t default_modifiers = 0;
      const std::int32_t* key_code =
          RequiredArgument<std::int32_t>(arguments, "keyCode");
      const std::int32_t* modifiers =
          OptionalArgument(arguments, "modifiers", default_modifiers);
      if (key_code == nullptr || modifiers == nullptr) {
        return InvalidArgs(kMissingKeyCode);
      }
      PressKey(*key_code, *modifiers, platform);
      return kSuccess;
    }

    case InputMethod::kMediaKey: {
      const std::int32_t* key_code =
          RequiredArgument<std::int32_t>(arguments, "keyCode");
      if (key_code == nullptr) {
        return InvalidArgs(kMissingKeyCode);
      }
      PressMediaKey(*key_code, platform);
      return kSuccess;
    }

    case InputMethod::kGesture: {
      const std::string* gesture =
          RequiredArgument<std::string>(arguments, "gesture");
      if (gesture == nullptr) {
        return InvalidArgs(kMissingGesture);
      }
      PerformGesture(*gesture, platform);
      return kSuccess;
    }

    case InputMethod::kPinchZoom: {
      const double* scale = RequiredArgument<double>(arguments, "scale");
      if (scale == nullptr) {
        return InvalidArgs(kMissingScale);
      }
      // One step per call however far the scale is from 1.0; exactly 1.0 and
      // NaN press nothing.
      if (*scale > 1.0) {
        PressKey(kZoomInKey, kControlFlag, platform);
      } else if (*scale < 1.0) {
        PressKey(kZoomOutKey, kControlFlag, platform);
      }
      return kSuccess;
    }
  }
  return {Reply::Kind::kNotImplemented, nullptr};
}

void Answer(const Reply& reply, flutter::MethodResult<EncodableValue>& result) {
  switch (reply.kind) {
    case Reply::Kind::kSuccess:
      result.Success();
      return;
    case Reply::Kind::kTrue:
      result.Success(EncodableValue(true));
      return;
    case Reply::Kind::kInvalid:
      result.Error(kInvalidArgs, reply.message);
      return;
    case Reply::Kind::kNotImplemented:
      result.NotImplemented();
      return;
  }
}

}  // namespace

void HandleInputMethodCall(
    const flutter::MethodCall<EncodableValue>& call,
    std::unique_ptr<flutter::MethodResult<EncodableValue>> result,
    InputPlatform& platform) {
  // Only running out of memory can throw here. The exception is left to
  // the channel, which answers the call with its failure answer.
  Answer(Dispatch(call, platform), *result);
}

}  // namespace lanternquill
