#pragma once

// The last few method calls on the input channel and their replies, for the
// stand-in UI to show. Decodes just enough of the standard method codec to
// name the method and the kind of reply.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace lanternquill::sim {

inline constexpr char kInputChannel[] = "com.lanternquill/input";

// The method name at the start of an encoded method call, or "?" when the
// bytes do not start with a string.
std::string MethodNameOf(const uint8_t* data, size_t size);

// "not implemented" for an empty reply, "success" (with a short value for
// booleans, numbers and strings), "error <code>", or "?" for other bytes.
std::string DescribeReply(const uint8_t* data, size_t size);

struct InputCallEntry {
  std::string method;
  std::string reply;
};

class InputCallLog {
 public:
  static constexpr size_t kKeptEntries = 6;

  // Thread-safe: replies arrive on whichever thread the host answers on.
  void Record(InputCallEntry entry);
  std::vector<InputCallEntry> Recent() const;
  // Called after each record, to schedule a repaint.
  void SetOnChange(std::function<void()> on_change);

 private:
  mutable std::mutex mutex_;
  std::deque<InputCallEntry> entries_;
  std::function<void()> on_change_;
};

}  // namespace lanternquill::sim
