#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "codec/encodable_value.h"

namespace flutter {

// A decoded call on a method channel: a method name and its arguments, which
// may be absent (a call decoded from bytes always has them, null if none).
// The arguments are held in the call itself, so that a decoded call costs no
// allocation of its own for them.
template <typename T = EncodableValue>
class MethodCall {
 public:
  MethodCall(std::string method_name, std::unique_ptr<T> arguments)
      : method_name_(std::move(method_name)) {
    if (arguments != nullptr) {
      arguments_.emplace(std::move(*arguments));
    }
  }
  // A call whose arguments are present, taken without a heap object of
  // their own. The tag keeps `{name, nullptr}` meaning the constructor above.
  MethodCall(std::string method_name, std::in_place_t, T arguments)
      : method_name_(std::move(method_name)),
        arguments_(std::in_place, std::move(arguments)) {}
  virtual ~MethodCall() = default;

  MethodCall(const MethodCall&) = delete;
  MethodCall& operator=(const MethodCall&) = delete;
  MethodCall(MethodCall&&) = default;
  MethodCall& operator=(MethodCall&&) = default;

  const std::string& method_name() const { return method_name_; }

  // Null when the call was made without arguments.
  const T* arguments() const {
    return arguments_.has_value() ? &*arguments_ : nullptr;
  }

 private:
  std::string method_name_;
  std::optional<T> arguments_;
};

}  // namespace flutter
