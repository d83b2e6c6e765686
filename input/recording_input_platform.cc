#include "input/recording_input_platform.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "input/utf8_to_utf16.h"

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
    const DWORD flags_but_up = key.dwFlags & ~DWORD{KEYEVENTF_KEYUP};
    if (flags_but_up == KEYEVENTF_UNICODE && key.wVk == 0) {
      text = "unicode " + Hex(key.wScan, 4) + (up ? " up" : " down");
    } else if (flags_but_up == 0 && key.wScan == 0) {
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

void RecordingInputPlatform::Spend() {
  if (++operations_ > options_.operation_limit) {
    throw OperationLimitReached();
  }
}

UINT RecordingInputPlatform::SendInput(UINT count, INPUT* inputs,
                                       int input_size) {
  Spend();
  if (!options_.record_calls) {
    return inputs == nullptr ? 0 : count;
  }
  Call call{Call::Kind::kSendInput, {}, input_size, 0, {}};
  if (inputs != nullptr) {
    call.records.assign(inputs, inputs + count);
  }
  calls_.push_back(std::move(call));
  return inputs == nullptr ? 0 : count;
}

BOOL RecordingInputPlatform::GetCursorPos(POINT* point) {
  Spend();
  if (!cursor_readable_ || point == nullptr) {
    return FALSE;
  }
  *point = cursor_;
  return TRUE;
}

BOOL RecordingInputPlatform::SetCursorPos(int x, int y) {
  Spend();
  cursor_.x = x;
  cursor_.y = y;
  if (options_.record_calls) {
    calls_.push_back({Call::Kind::kSetCursorPos, {}, 0, 0, cursor_});
  }
  return TRUE;
}

void RecordingInputPlatform::Sleep(DWORD milliseconds) {
  Spend();
  if (options_.record_calls) {
    calls_.push_back({Call::Kind::kSleep, {}, 0, milliseconds, {}});
  }
}

int RecordingInputPlatform::MultiByteToWideChar(UINT code_page, DWORD flags,
                                                const char* text, int length,
                                                WCHAR* output,
                                                int output_size) {
  Spend();
  if (conversion_fails_ || code_page != CP_UTF8 || flags != 0) {
    return 0;
  }
  return ConvertUtf8ToUtf16(text, length, output, output_size);
}

std::vector<std::string> RecordingInputPlatform::DescribeCalls() const {
  std::vector<std::string> lines;
  for (const RecordingInputPlatform::Call& call : calls_) {
    lines.push_back(DescribeCall(call));
  }
  return lines;
}

}  // namespace lanternquill
