#pragma once

// Pieces shared by the fuzz targets: the libFuzzer entry points, the check
// that turns a broken property into a crash, and a bounded input platform.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "input/input_platform.h"
#include "input/recording_input_platform.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace lq_fuzz {

// Aborts with `what` on the standard error stream when `condition` is false,
// so that libFuzzer and the replay runner both report the input as a crash.
void Require(bool condition, const char* what);

// The codec writes a diagnostic line for every malformed read; millions of
// them would bury the fuzzer's own output. Sanitizer reports bypass std::cerr
// and stay visible.
void SilenceDiagnostics();

// Records like the recording platform, but gives up (by throwing) after a
// fixed number of operations: a call may legitimately ask for billions of
// clicks, and the fuzzer must not spend minutes on one input. The handler
// answers such a call with its failure reply, which still has to be exactly
// one answer.
class BoundedInputPlatform : public lanternquill::InputPlatform {
 public:
  static constexpr size_t kOperationBudget = 20000;

  UINT SendInput(UINT count, INPUT* inputs, int input_size) override;
  BOOL GetCursorPos(POINT* point) override;
  BOOL SetCursorPos(int x, int y) override;
  void Sleep(DWORD milliseconds) override;
  int MultiByteToWideChar(UINT code_page, DWORD flags, const char* text,
                          int length, WCHAR* output, int output_size) override;

 private:
  void Spend();

  lanternquill::RecordingInputPlatform recorder_;
  size_t operations_ = 0;
};

}  // namespace lq_fuzz
