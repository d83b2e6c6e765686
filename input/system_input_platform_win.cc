#include "input/system_input_platform.h"

#include "input/win32_input_types.h"

namespace lanternquill {
namespace {

class WindowsInputPlatform final : public InputPlatform {
 public:
  UINT SendInput(UINT count, INPUT* inputs, int input_size) override {
    return ::SendInput(count, inputs, input_size);
  }
  BOOL GetCursorPos(POINT* point) override { return ::GetCursorPos(point); }
  BOOL SetCursorPos(int x, int y) override { return ::SetCursorPos(x, y); }
  void Sleep(DWORD milliseconds) override { ::Sleep(milliseconds); }
  int MultiByteToWideChar(UINT code_page, DWORD flags, const char* text,
                          int length, WCHAR* output, int output_size) override {
    return ::MultiByteToWideChar(code_page, flags, text, length, output,
                                 output_size);
  }
};

}  // namespace

InputPlatform& SystemInputPlatform() {
  // Stateless, so one instance serves every caller.
  static WindowsInputPlatform platform;
  return platform;
}

}  // namespace lanternquill
