#pragma once

#include <string>

#include "codec/encodable_value.h"

namespace flutter {

// The one-shot answer to a method call. The public operations forward to the
// hooks; enforcing "exactly once" is the deriving result's job.
template <typename T = EncodableValue>
class MethodResult {
 public:
  MethodResult() = default;
  virtual ~MethodResult() = default;

  MethodResult(const MethodResult&) = delete;
  MethodResult& operator=(const MethodResult&) = delete;

  void Success(const T& result) { SuccessImpl(&result); }
  void Success() { SuccessImpl(nullptr); }

  void Error(const std::string& error_code, const std::string& error_message,
             const T& error_details) {
    ErrorImpl(error_code, error_message, &error_details);
  }
  void Error(const std::string& error_code,
             const std::string& error_message = "") {
    ErrorImpl(error_code, error_message, nullptr);
  }

  void NotImplemented() { NotImplementedImpl(); }

 protected:
  // `result` is null for a success without a value.
  virtual void SuccessImpl(const T* result) = 0;
  // `error_details` is null when the error carries none.
  virtual void ErrorImpl(const std::string& error_code,
                         const std::string& error_message,
                         const T* error_details) = 0;
  virtual void NotImplementedImpl() = 0;
};

}  // namespace flutter
