#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codec/encodable_value.h"
#include "input/input_platform.h"
#include "input/recording_input_platform.h"
#include "messaging/method_result.h"

namespace lanternquill {

// Renders every recorded platform call as one line, every field of every
// record included, so that tables compare whole records:
//   "send key 5B down, key 44 down, key 44 up, key 5B up"
//   "send unicode 00E9 down, unicode 00E9 up"
//   "send mouse 0x800 data -360"
//   "sleep 50"
//   "cursor 95 200"
// A field that should be zero but is not shows up in the line.
std::vector<std::string> DescribeCalls(const RecordingInputPlatform& platform);

// A method result that writes each answer to `answers` as text ("success",
// "success true", "error INVALID_ARGS: Missing text", "not implemented") and
// fails the running test on a second answer or on destruction without one.
class RecordingMethodResult
    : public flutter::MethodResult<flutter::EncodableValue> {
 public:
  explicit RecordingMethodResult(std::vector<std::string>* answers);
  ~RecordingMethodResult() override;

 protected:
  void SuccessImpl(const flutter::EncodableValue* result) override;
  void ErrorImpl(const std::string& error_code,
                 const std::string& error_message,
                 const flutter::EncodableValue* error_details) override;
  void NotImplementedImpl() override;

 private:
  void Record(std::string answer);

  std::vector<std::string>* answers_;
};

// Hands one call to HandleInputMethodCall and returns its one answer.
// `arguments` absent makes a call without arguments.
std::string HandleCall(const std::string& method,
                       std::optional<flutter::EncodableValue> arguments,
                       InputPlatform& platform);

}  // namespace lanternquill
