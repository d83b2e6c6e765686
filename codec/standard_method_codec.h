#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <typeinfo>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/method_codec.h"
#include "codec/standard_codec_serializer.h"

namespace flutter {

// The method codec over the standard message codec: calls are a name value
// and an arguments value; replies carry a one-byte envelope (0 success,
// 1 error) in front of their values.
class StandardMethodCodec : public MethodCodec<EncodableValue> {
 public:
  // The codec for `serializer` (the default serializer when null): one per
  // serializer, made on first request, alive until the process ends.
  static const StandardMethodCodec& GetInstance(
      const StandardCodecSerializer* serializer = nullptr);

  ~StandardMethodCodec() override = default;

  StandardMethodCodec(const StandardMethodCodec&) = delete;
  StandardMethodCodec& operator=(const StandardMethodCodec&) = delete;

  std::unique_ptr<MethodCall<EncodableValue>> DecodeMethodCall(
      const uint8_t* message, size_t message_size) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeMethodCall(
      const MethodCall<EncodableValue>& method_call) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeSuccessEnvelope(
      const EncodableValue* result) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeErrorEnvelope(
      const std::string& error_code, const std::string& error_message,
      const EncodableValue* error_details) const override;
  bool DecodeResponseEnvelope(
      const uint8_t* response, size_t response_size,
      MethodResult<EncodableValue>* result) const override;

  // DecodeMethodCall, with the call made in `call`'s place rather than on the
  // heap; `call` stays empty where DecodeMethodCall gives null.
  void DecodeMethodCallInto(
      const uint8_t* message, size_t message_size,
      std::optional<MethodCall<EncodableValue>>* call) const;
  // The envelopes' bytes, written into `bytes`, which must be empty (the
  // alignment of values counts from its first byte).
  void EncodeSuccessEnvelopeTo(const EncodableValue* result,
                               std::vector<uint8_t>* bytes) const;
  void EncodeErrorEnvelopeTo(const std::string& error_code,
                             const std::string& error_message,
                             const EncodableValue* error_details,
                             std::vector<uint8_t>* bytes) const;

 private:
  explicit StandardMethodCodec(const StandardCodecSerializer* serializer)
      : serializer_(serializer) {}

  const StandardCodecSerializer* serializer_;
};

// `codec` as the standard method codec, or null when it is another one; the
// channel and its results use the calls above where it is.
inline const StandardMethodCodec* AsStandardMethodCodec(
    const MethodCodec<EncodableValue>* codec) {
  return typeid(*codec) == typeid(StandardMethodCodec)
             ? static_cast<const StandardMethodCodec*>(codec)
             : nullptr;
}

}  // namespace flutter
