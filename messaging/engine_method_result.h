#pragma once

#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/method_codec.h"
#include "codec/standard_method_codec.h"
#include "messaging/binary_messenger.h"
#include "messaging/method_result.h"
#include "messaging/reply_holder.h"

namespace flutter {

// The result of a call that came from the engine: encodes the answer with the
// channel's codec into a reply envelope and sends it through the message's
// reply callback, once.
template <typename T = EncodableValue>
class EngineMethodResult : public MethodResult<T> {
 public:
  EngineMethodResult(ReplyCallback reply, const MethodCodec<T>* codec)
      : reply_holder_(std::make_shared<ReplyHolder>(std::move(reply))),
        codec_(codec) {}

  // Answers through a holder that someone else shares: the method channel
  // keeps one share so that it can still answer when the call's handler
  // throws after having destroyed this result.
  EngineMethodResult(std::shared_ptr<ReplyHolder> reply_holder,
                     const MethodCodec<T>* codec)
      : reply_holder_(std::move(reply_holder)), codec_(codec) {}

  ~EngineMethodResult() override = default;

 protected:
  // The envelope is encoded before the holder decides whether this is the
  // first answer, so a rejected answer still goes through the encoder.
  // The standard codec writes the same bytes into a vector here, which saves
  // the allocation of the vector object itself.
  void SuccessImpl(const T* result) override {
    if constexpr (std::is_same_v<T, EncodableValue>) {
      if (const StandardMethodCodec* standard = AsStandardMethodCodec(codec_)) {
        std::vector<uint8_t> data;
        standard->EncodeSuccessEnvelopeTo(result, &data);
        reply_holder_->SendResponse(&data);
        return;
      }
    }
    std::unique_ptr<std::vector<uint8_t>> data =
        codec_->EncodeSuccessEnvelope(result);
    reply_holder_->SendResponse(data.get());
  }

  void ErrorImpl(const std::string& error_code,
                 const std::string& error_message,
                 const T* error_details) override {
    if constexpr (std::is_same_v<T, EncodableValue>) {
      if (const StandardMethodCodec* standard = AsStandardMethodCodec(codec_)) {
        std::vector<uint8_t> data;
        standard->EncodeErrorEnvelopeTo(error_code, error_message,
                                        error_details, &data);
        reply_holder_->SendResponse(&data);
        return;
      }
    }
    std::unique_ptr<std::vector<uint8_t>> data =
        codec_->EncodeErrorEnvelope(error_code, error_message, error_details);
    reply_holder_->SendResponse(data.get());
  }

  void NotImplementedImpl() override { reply_holder_->SendResponse(nullptr); }

 private:
  std::shared_ptr<ReplyHolder> reply_holder_;
  const MethodCodec<T>* codec_;
};

extern template class EngineMethodResult<EncodableValue>;

}  // namespace flutter
