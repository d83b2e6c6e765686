#pragma once

#include <cstddef>
#include <exception>
#include <limits>
#include <string>
#include <vector>

#include "input/input_platform.h"

namespace lanternquill {

// Records what the synthesis code asks of the platform instead of doing it:
// every SendInput call as its own group of whole records, every Sleep with its
// duration (without sleeping), cursor moves against a simulated cursor, and
// UTF-8 conversion with the Windows behaviour.
class RecordingInputPlatform : public InputPlatform {
 public:
  struct Options {
    // False: no call is kept, and none allocates, for measuring the dispatch
    // alone; text still converts, so typing walks its units as on the
    // desktop.
    bool record_calls = true;
    // Operations after which every one throws OperationLimitReached, so that
    // a fuzzer never spends minutes on one input.
    std::size_t operation_limit = std::numeric_limits<std::size_t>::max();
  };

  class OperationLimitReached : public std::exception {
   public:
    const char* what() const noexcept override {
      return "input platform operation limit reached";
    }
  };

  // One platform call that changes the desktop or pauses, in call order.
  struct Call {
    enum class Kind { kSendInput, kSleep, kSetCursorPos };
    Kind kind;
    std::vector<INPUT> records;  // kSendInput
    int input_size = 0;          // kSendInput: the record size passed
    DWORD milliseconds = 0;      // kSleep
    POINT position{};            // kSetCursorPos
  };

  RecordingInputPlatform() = default;
  explicit RecordingInputPlatform(Options options) : options_(options) {}

  const std::vector<Call>& calls() const { return calls_; }
  // Every call as one line, every field of every record included, so that
  // tests compare whole records:
  //   "send key 5B down, key 44 down, key 44 up, key 5B up"
  //   "send unicode 00E9 down, unicode 00E9 up"
  //   "send mouse 0x800 data -360", "sleep 50", "cursor 95 200"
  // A field that should be zero but is not shows up in the line.
  std::vector<std::string> DescribeCalls() const;
  void ClearCalls() { calls_.clear(); }

  POINT cursor() const { return cursor_; }
  void set_cursor(POINT cursor) { cursor_ = cursor; }
  // While false, GetCursorPos fails as it does on a locked desktop.
  void set_cursor_readable(bool readable) { cursor_readable_ = readable; }
  // While true, MultiByteToWideChar fails.
  void set_conversion_fails(bool fails) { conversion_fails_ = fails; }

  UINT SendInput(UINT count, INPUT* inputs, int input_size) override;
  BOOL GetCursorPos(POINT* point) override;
  BOOL SetCursorPos(int x, int y) override;
  void Sleep(DWORD milliseconds) override;
  // Supports CP_UTF8 with flags 0 only; anything else fails.
  int MultiByteToWideChar(UINT code_page, DWORD flags, const char* text,
                          int length, WCHAR* output, int output_size) override;

 private:
  // Counts an operation against the limit.
  void Spend();

  Options options_;
  std::size_t operations_ = 0;
  std::vector<Call> calls_;
  POINT cursor_{};
  bool cursor_readable_ = true;
  bool conversion_fails_ = false;
};

}  // namespace lanternquill
