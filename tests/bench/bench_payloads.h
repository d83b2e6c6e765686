#pragma once

// Encoded method calls of the input channel, one per method, as the UI sends
// them, for the benchmarks.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/standard_method_codec.h"
#include "messaging/method_call.h"

namespace lq_bench {

struct InputCall {
  std::string method;
  flutter::EncodableValue arguments;
  // The call as the standard method codec encodes it.
  std::vector<uint8_t> bytes;
};

// Arguments that the no-op platform carries out in full: every method takes
// its normal path, including the conversion of typed text.
inline std::vector<InputCall> InputCalls() {
  using flutter::EncodableMap;
  using flutter::EncodableValue;
  const std::vector<std::pair<std::string, EncodableValue>> calls = {
      {"checkAccessibility", EncodableValue()},
      {"requestAccessibility", EncodableValue()},
      {"mouseMove", EncodableMap{{"dx", 12.5}, {"dy", -3.0}}},
      {"mouseClick", EncodableMap{{"button", "left"}, {"clicks", 1}}},
      {"mouseScroll", EncodableMap{{"dx", 0}, {"dy", -3}}},
      {"typeText", EncodableMap{{"text", "hi"}}},
      {"pressKey", EncodableMap{{"keyCode", 0x44}, {"modifiers", 0x100000}}},
      {"mediaKey", EncodableMap{{"keyCode", 0xB3}}},
      {"gesture", EncodableMap{{"gesture", "show_desktop"}}},
      {"pinchZoom", EncodableMap{{"scale", 1.25}}},
  };
  std::vector<InputCall> encoded;
  for (const auto& [method, arguments] : calls) {
    flutter::MethodCall<EncodableValue> call(
        method, std::make_unique<EncodableValue>(arguments));
    encoded.push_back(
        {method, arguments,
         *flutter::StandardMethodCodec::GetInstance().EncodeMethodCall(call)});
  }
  return encoded;
}

}  // namespace lq_bench
