#include "sim/engine/input_call_log.h"

#include <cstring>
#include <utility>

namespace lanternquill::sim {
namespace {

// Standard codec type bytes this log understands.
constexpr uint8_t kNull = 0;
constexpr uint8_t kTrue = 1;
constexpr uint8_t kFalse = 2;
constexpr uint8_t kInt32 = 3;
constexpr uint8_t kString = 7;

constexpr size_t kShownStringBytes = 24;

// Reads a string value (type byte included) at `*offset`; false when the
// bytes hold none.
bool ReadString(const uint8_t* data, size_t size, size_t* offset,
                std::string* out) {
  size_t at = *offset;
  if (at >= size || data[at] != kString) {
    return false;
  }
  ++at;
  if (at >= size) {
    return false;
  }
  size_t length = data[at++];
  if (length == 254) {
    if (size - at < 2) {
      return false;
    }
    length = static_cast<size_t>(data[at]) |
             (static_cast<size_t>(data[at + 1]) << 8);
    at += 2;
  } else if (length == 255) {
    if (size - at < 4) {
      return false;
    }
    length = 0;
    for (int i = 3; i >= 0; --i) {
      length = (length << 8) | data[at + static_cast<size_t>(i)];
    }
    at += 4;
  }
  if (length > size - at) {
    return false;
  }
  out->assign(reinterpret_cast<const char*>(data + at), length);
  *offset = at + length;
  return true;
}

}  // namespace

std::string MethodNameOf(const uint8_t* data, size_t size) {
  size_t offset = 0;
  std::string name;
  if (data == nullptr || !ReadString(data, size, &offset, &name)) {
    return "?";
  }
  return name;
}

std::string DescribeReply(const uint8_t* data, size_t size) {
  if (data == nullptr || size == 0) {
    return "not implemented";
  }
  if (data[0] == 1) {
    size_t offset = 1;
    std::string code;
    if (!ReadString(data, size, &offset, &code)) {
      return "error";
    }
    return "error " + code;
  }
  if (data[0] != 0 || size < 2) {
    return "?";
  }
  switch (data[1]) {
    case kNull:
      return "success";
    case kTrue:
      return "success: true";
    case kFalse:
      return "success: false";
    case kInt32: {
      if (size - 2 < 4) {
        return "success";
      }
      uint32_t bits = 0;
      for (int i = 3; i >= 0; --i) {
        bits = (bits << 8) | data[2 + i];
      }
      int32_t value = 0;
      std::memcpy(&value, &bits, sizeof(value));
      return "success: " + std::to_string(value);
    }
    case kString: {
      size_t offset = 1;
      std::string text;
      if (!ReadString(data, size, &offset, &text)) {
        return "success";
      }
      if (text.size() > kShownStringBytes) {
        text.resize(kShownStringBytes);
      }
      return "success: \"" + text + "\"";
    }
    default:
      return "success";
  }
}

void InputCallLog::Record(InputCallEntry entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.push_back(std::move(entry));
  while (entries_.size() > kKeptEntries) {
    entries_.pop_front();
  }
  // Under the lock so that withdrawing the hook waits for a call in flight.
  if (on_change_) {
    on_change_();
  }
}

std::vector<InputCallEntry> InputCallLog::Recent() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {entries_.begin(), entries_.end()};
}

void InputCallLog::SetOnChange(std::function<void()> on_change) {
  std::lock_guard<std::mutex> lock(mutex_);
  on_change_ = std::move(on_change);
}

}  // namespace lanternquill::sim
