#pragma once

#include <memory>
#include <string>
#include <utility>

#include "codec/encodable_value.h"

namespace flutter {

// A decoded call on a method channel: a method name and its arguments, which
// may be absent (a call decoded from bytes always has them, null if none).
template <typename T = EncodableValue>
class MethodCall {
 public:
  MethodCall(std::string method_name, std::unique_ptr<T> arguments)
      : method_name_(std::move(method_name)),
        arguments_(std::move(arguments)) {}
  virtual ~MethodCall() = default;

  MethodCall(const MethodCall&) = delete;
  MethodCall& operator=(const MethodCall&) = delete;

  const std::string& method_name() const { return method_name_; }

  // Null when the call was made without arguments.
  const T* arguments() const { return arguments_.get(); }

 private:
  std::string method_name_;
  std::unique_ptr<T> arguments_;
};

}  // namespace flutter
