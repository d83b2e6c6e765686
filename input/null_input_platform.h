#pragma once

#include "input/input_platform.h"

namespace lanternquill {

// Does nothing and reports success, for measuring the dispatch alone. Text
// still converts, so typing walks its units as it would on the desktop.
class NullInputPlatform final : public InputPlatform {
 public:
  UINT SendInput(UINT count, INPUT* inputs, int input_size) override;
  BOOL GetCursorPos(POINT* point) override;
  BOOL SetCursorPos(int x, int y) override;
  void Sleep(DWORD milliseconds) override;
  int MultiByteToWideChar(UINT code_page, DWORD flags, const char* text,
                          int length, WCHAR* output, int output_size) override;
};

}  // namespace lanternquill
