#include "input/recording_input_platform.h"

#include <utility>

#include "input/utf8_to_utf16.h"

namespace lanternquill {

UINT RecordingInputPlatform::SendInput(UINT count, INPUT* inputs,
                                       int input_size) {
  Call call{Call::Kind::kSendInput, {}, input_size, 0, {}};
  if (inputs != nullptr) {
    call.records.assign(inputs, inputs + count);
  }
  calls_.push_back(std::move(call));
  return inputs == nullptr ? 0 : count;
}

BOOL RecordingInputPlatform::GetCursorPos(POINT* point) {
  if (!cursor_readable_ || point == nullptr) {
    return FALSE;
  }
  *point = cursor_;
  return TRUE;
}

BOOL RecordingInputPlatform::SetCursorPos(int x, int y) {
  cursor_.x = x;
  cursor_.y = y;
  calls_.push_back({Call::Kind::kSetCursorPos, {}, 0, 0, cursor_});
  return TRUE;
}

void RecordingInputPlatform::Sleep(DWORD milliseconds) {
  calls_.push_back({Call::Kind::kSleep, {}, 0, milliseconds, {}});
}

int RecordingInputPlatform::MultiByteToWideChar(UINT code_page, DWORD flags,
                                                const char* text, int length,
                                                WCHAR* output,
                                                int output_size) {
  if (conversion_fails_ || code_page != CP_UTF8 || flags != 0) {
    return 0;
  }
  return ConvertUtf8ToUtf16(text, length, output, output_size);
}

}  // namespace lanternquill
