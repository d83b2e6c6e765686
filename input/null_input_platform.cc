#include "input/null_input_platform.h"

#include "input/utf8_to_utf16.h"

namespace lanternquill {

UINT NullInputPlatform::SendInput(UINT count, INPUT* /*inputs*/,
                                  int /*input_size*/) {
  return count;
}

BOOL NullInputPlatform::GetCursorPos(POINT* point) {
  if (point == nullptr) {
    return FALSE;
  }
  *point = POINT{};
  return TRUE;
}

BOOL NullInputPlatform::SetCursorPos(int /*x*/, int /*y*/) { return TRUE; }

void NullInputPlatform::Sleep(DWORD /*milliseconds*/) {}

int NullInputPlatform::MultiByteToWideChar(UINT /*code_page*/, DWORD /*flags*/,
                                           const char* text, int length,
                                           WCHAR* output, int output_size) {
  return ConvertUtf8ToUtf16(text, length, output, output_size);
}

}  // namespace lanternquill
