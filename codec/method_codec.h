#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "codec/encodable_value.h"
#include "messaging/method_call.h"
#include "messaging/method_result.h"

namespace flutter {

// Turns method calls and their replies into bytes and back.
template <typename T = EncodableValue>
class MethodCodec {
 public:
  MethodCodec() = default;
  virtual ~MethodCodec() = default;

  MethodCodec(const MethodCodec&) = delete;
  MethodCodec& operator=(const MethodCodec&) = delete;

  // Null when the bytes are not a method call.
  virtual std::unique_ptr<MethodCall<T>> DecodeMethodCall(
      const uint8_t* message, size_t message_size) const {
    std::optional<MethodCall<T>> call;
    DecodeMethodCallInto(message, message_size, &call);
    return call ? std::make_unique<MethodCall<T>>(std::move(*call)) : nullptr;
  }

  virtual std::unique_ptr<std::vector<uint8_t>> EncodeMethodCall(
      const MethodCall<T>& method_call) const = 0;

  // `result` may be null: a success without a value.
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeSuccessEnvelope(
      const T* result) const {
    auto bytes = std::make_unique<std::vector<uint8_t>>();
    EncodeSuccessEnvelopeTo(result, bytes.get());
    return bytes;
  }

  // `error_details` may be null.
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeErrorEnvelope(
      const std::string& error_code, const std::string& error_message,
      const T* error_details) const {
    auto bytes = std::make_unique<std::vector<uint8_t>>();
    EncodeErrorEnvelopeTo(error_code, error_message, error_details,
                          bytes.get());
    return bytes;
  }

  // True when the envelope was recognised and `result` was completed.
  virtual bool DecodeResponseEnvelope(const uint8_t* response,
                                      size_t response_size,
                                      MethodResult<T>* result) const = 0;

  // The forms above write through these three: the call made in `call`'s
  // place (left empty where DecodeMethodCall gives null) and the envelopes
  // written into `bytes` (cleared first), so that a caller keeping the call
  // and the bytes of its own allocates nothing for them.
  virtual void DecodeMethodCallInto(
      const uint8_t* message, size_t message_size,
      std::optional<MethodCall<T>>* call) const = 0;

  virtual void EncodeSuccessEnvelopeTo(const T* result,
                                       std::vector<uint8_t>* bytes) const = 0;
  virtual void EncodeErrorEnvelopeTo(const std::string& error_code,
                                     const std::string& error_message,
                                     const T* error_details,
                                     std::vector<uint8_t>* bytes) const = 0;
};

}  // namespace flutter
