#pragma once

// Pieces shared by the fuzz targets: the libFuzzer entry points, the check
// that turns a broken property into a crash, and a bounded input platform.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
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

// What BoundedInputPlatform throws when its budget is spent.
class BudgetExhausted : public std::exception {
 public:
  const char* what() const noexcept override {
    return "input platform budget exhausted";
  }
};

// The method channel's answer to a call whose handler threw, for results
// that stand in for the channel's: such a result sends it when the exception
// destroys it unanswered.
std::shared_ptr<const std::vector<uint8_t>> ChannelFailureReply();

// Records like the recording platform, but gives up (by throwing
// BudgetExhausted) after a fixed number of operations, so that the fuzzer
// never spends minutes on one input. The call then gets the channel's
// failure answer, which still has to be exactly one answer.
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
