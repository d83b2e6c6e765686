#include "tests/input/input_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <utility>
#include <variant>

#include "input/input_method_handler.h"
#include "messaging/method_call.h"

namespace lanternquill {
namespace {

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof(text), "%0*X", digits, value);
  return text;
}

std::string DescribeRecord(const INPUT& record) {
  std::string text;
  DWORD time = 0;
  ULONG_PTR extra = 0;
  if (record.type == INPUT_KEYBOARD) {
    const KEYBDINPUT& key = record.ki;
    const bool up = key.dwFlags == (KEYEVENTF_KEYUP | KEYEVENTF_UNICODE) ||
                    key.dwFlags == KEYEVENTF_KEYUP;
    if ((key.dwFlags & ~KEYEVENTF_KEYUP) == KEYEVENTF_UNICODE && key.wVk == 0) {
      text = "unicode " + Hex(key.wScan, 4) + (up ? " up" : " down");
    } else if ((key.dwFlags & ~KEYEVENTF_KEYUP) == 0 && key.wScan == 0) {
      text = "key " + Hex(key.wVk, 2) + (up ? " up" : " down");
    } else {
      text = "key vk=" + Hex(key.wVk, 2) + " scan=" + Hex(key.wScan, 4) +
             " flags=0x" + Hex(key.dwFlags, 1);
    }
    time = key.time;
    extra = key.dwExtraInfo;
  } else if (record.type == INPUT_MOUSE) {
    const MOUSEINPUT& mouse = record.mi;
    text = "mouse 0x" + Hex(mouse.dwFlags, 1);
    if (mouse.mouseData != 0) {
      text +=
          " data " + std::to_string(static_cast<std::int32_t>(mouse.mouseData));
    }
    if (mouse.dx != 0 || mouse.dy != 0) {
      text +=
          " at " + std::to_string(mouse.dx) + "," + std::to_string(mouse.dy);
    }
    time = mouse.time;
    extra = mouse.dwExtraInfo;
  } else {
    text = "type " + std::to_string(record.type);
  }
  if (time != 0) {
    text += " time=" + std::to_string(time);
  }
  if (extra != 0) {
    text += " extra=" + std::to_string(extra);
  }
  return text;
}

std::string DescribeCall(const RecordingInputPlatform::Call& call) {
  using Kind = RecordingInputPlatform::Call::Kind;
  switch (call.kind) {
    case Kind::kSendInput: {
      std::string text = "send";
      if (call.input_size != static_cast<int>(sizeof(INPUT))) {
        text += "(size " + std::to_string(call.input_size) + ")";
      }
      const char* separator = " ";
      for (const INPUT& record : call.records) {
        text += separator + DescribeRecord(record);
        separator = ", ";
      }
      return text;
    }
    case Kind::kSleep:
      return "sleep " + std::to_string(call.milliseconds);
    case Kind::kSetCursorPos:
      return "cursor " + std::to_string(call.position.x) + " " +
             std::to_string(call.position.y);
  }
  return "unknown call";
}

}  // namespace

std::vector<std::string> DescribeCalls(const RecordingInputPlatform& platform) {
  std::vector<std::string> lines;
  for (const RecordingInputPlatform::Call& call : platform.calls()) {
    lines.push_back(DescribeCall(call));
  }
  return lines;
}

RecordingMethodResult::RecordingMethodResult(std::vector<std::string>* answers)
    : answers_(answers) {}

RecordingMethodResult::~RecordingMethodResult() {
  if (answers_->empty()) {
    ADD_FAILURE() << "the result was released without an answer";
  }
}

void RecordingMethodResult::SuccessImpl(const flutter::EncodableValue* result) {
  if (result == nullptr) {
    Record("success");
  } else if (const bool* value = std::get_if<bool>(result)) {
    Record(*value ? "success true" : "success false");
  } else {
    Record("success of kind " + std::to_string(result->index()));
  }
}

void RecordingMethodResult::ErrorImpl(
    const std::string& error_code, const std::string& error_message,
    const flutter::EncodableValue* error_details) {
  Record("error " + error_code + ": " + error_message +
         (error_details == nullptr ? "" : " (with details)"));
}

void RecordingMethodResult::NotImplementedImpl() { Record("not implemented"); }

void RecordingMethodResult::Record(std::string answer) {
  if (!answers_->empty()) {
    ADD_FAILURE() << "second answer: " << answer;
  }
  answers_->push_back(std::move(answer));
}

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
