#pragma once

#include <cstdint>
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

// The bytes of one reply envelope while it is written and sent. The vector of
// the last envelope sent is kept for the next, so that replies given one at a
// time, as on the UI thread, allocate nothing for their bytes; a reply
// written while another is (on another thread, or from inside a reply
// callback) finds none kept and makes its own.
class EnvelopeBuffer {
 public:
  EnvelopeBuffer();
  ~EnvelopeBuffer();

  EnvelopeBuffer(const EnvelopeBuffer&) = delete;
  EnvelopeBuffer& operator=(const EnvelopeBuffer&) = delete;

  // Empty when the buffer is made.
  std::vector<uint8_t>* bytes() const { return bytes_; }

 private:
  std::vector<uint8_t>* bytes_;
};

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
  // The standard codec writes the same bytes into a kept buffer here, which
  // saves allocating a vector and its bytes for every reply.
  void SuccessImpl(const T* result) override {
    if constexpr (std::is_same_v<T, EncodableValue>) {
      if (const StandardMethodCodec* standard = AsStandardMethodCodec(codec_)) {
        const EnvelopeBuffer buffer;
        standard->EncodeSuccessEnvelopeTo(result, buffer.bytes());
        reply_holder_->SendResponse(buffer.bytes());
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
        const EnvelopeBuffer buffer;
        standard->EncodeErrorEnvelopeTo(error_code, error_message,
                                        error_details, buffer.bytes());
        reply_holder_->SendResponse(buffer.bytes());
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
