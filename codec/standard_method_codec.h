#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
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

  std::unique_ptr<std::vector<uint8_t>> EncodeMethodCall(
      const MethodCall<EncodableValue>& method_call) const override;
  bool DecodeResponseEnvelope(
      const uint8_t* response, size_t response_size,
      MethodResult<EncodableValue>* result) const override;

  void DecodeMethodCallInto(
      const uint8_t* message, size_t message_size,
      std::optional<MethodCall<EncodableValue>>* call) const override;
  void EncodeSuccessEnvelopeTo(const EncodableValue* result,
                               std::vector<uint8_t>* bytes) const override;
  void EncodeErrorEnvelopeTo(const std::string& error_code,
                             const std::string& error_message,
                             const EncodableValue* error_details,
                             std::vector<uint8_t>* bytes) const override;

 private:
  explicit StandardMethodCodec(const StandardCodecSerializer* serializer)
      : serializer_(serializer) {}

  const StandardCodecSerializer* serializer_;
};

}  // namespace flutter
