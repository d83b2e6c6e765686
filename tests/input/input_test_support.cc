#include "tests/input/input_test_support.h"

#include <gtest/gtest.h>

#include <utility>
#include <variant>

#include "input/input_method_handler.h"
#include "messaging/method_call.h"
#include "messaging/method_result.h"

namespace lanternquill {
namespace {

// Writes each answer as text; a second answer or none fails the test.
class RecordingMethodResult
    : public flutter::MethodResult<flutter::EncodableValue> {
 public:
  explicit RecordingMethodResult(std::vector<std::string>* answers)
      : answers_(answers) {}
  ~RecordingMethodResult() override {
    if (answers_->empty()) {
      ADD_FAILURE() << "the result was released without an answer";
    }
  }

 protected:
  void SuccessImpl(const flutter::EncodableValue* result) override {
    const bool* value = result == nullptr ? nullptr : std::get_if<bool>(result);
    Record(result == nullptr ? "success"
           : value == nullptr
               ? "success of kind " + std::to_string(result->index())
               : std::string("success ") + (*value ? "true" : "false"));
  }
  void ErrorImpl(const std::string& error_code,
                 const std::string& error_message,
                 const flutter::EncodableValue* error_details) override {
    Record("error " + error_code + ": " + error_message +
           (error_details == nullptr ? "" : " (with details)"));
  }
  void NotImplementedImpl() override { Record("not implemented"); }

 private:
  void Record(std::string answer) {
    if (!answers_->empty()) {
      ADD_FAILURE() << "second answer: " << answer;
    }
    answers_->push_back(std::move(answer));
  }

  std::vector<std::string>* answers_;
};

}  // namespace

std::string HandleCall(const std::string& method,
                       std::optional<flutter::EncodableValue> arguments,
                       InputPlatform& platform) {
  std::unique_ptr<flutter::EncodableValue> owned_arguments;
  if (arguments.has_value()) {
    owned_arguments =
        std::make_unique<flutter::EncodableValue>(std::move(*arguments));
  }
  const flutter::MethodCall<flutter::EncodableValue> call(
      method, std::move(owned_arguments));
  std::vector<std::string> answers;
  HandleInputMethodCall(call, std::make_unique<RecordingMethodResult>(&answers),
                        platform);
  return answers.empty() ? "no answer" : answers.front();
}

}  // namespace lanternquill
