#pragma once

#include "input/win32_input_types.h"

namespace lanternquill {

// The five Windows operations through which input reaches the desktop. The
// host uses the pass-through to the real functions; tests replace it with a
// recorder. Arguments and results are those of the Windows functions.
class InputPlatform {
 public:
  InputPlatform() = default;
  virtual ~InputPlatform() = default;

  InputPlatform(const InputPlatform&) = delete;
  InputPlatform& operator=(const InputPlatform&) = delete;

  // Injects `count` records in array order as one uninterrupted sequence.
  virtual UINT SendInput(UINT count, INPUT* inputs, int input_size) = 0;
  virtual BOOL GetCursorPos(POINT* point) = 0;
  virtual BOOL SetCursorPos(int x, int y) = 0;
  virtual void Sleep(DWORD milliseconds) = 0;
  // Returns the UTF-16 units needed or written, the terminating NUL counted
  // when `length` is -1; 0 on failure.
  virtual int MultiByteToWideChar(UINT code_page, DWORD flags, const char* text,
                                  int length, WCHAR* output,
                                  int output_size) = 0;
};

}  // namespace lanternquill
