#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "codec/encodable_value.h"
#include "codec/method_codec.h"
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
  // `failure_reply`, when given, is what the call gets if this result is
  // destroyed unanswered while an exception is on its way out (of a handler
  // that threw before answering, say): bytes made beforehand, so that even a
  // handler that ran out of memory leaves no call without its answer.
  EngineMethodResult(ReplyCallback reply, const MethodCodec<T>* codec,
                     std::shared_ptr<const std::vector<uint8_t>> failure_reply =
                         nullptr) noexcept
      : reply_holder_(std::move(reply)),
        codec_(codec),
        failure_reply_(std::move(failure_reply)) {}

  ~EngineMethodResult() override {
    if (failure_reply_ == nullptr || reply_holder_.answered() ||
        std::uncaught_exceptions() == 0) {
      return;
    }
    try {
      reply_holder_.SendResponse(failure_reply_.get());
    } catch (...) {
      // A second exception here would end the process.
    }
  }

 protected:
  // The envelope is encoded before the holder decides whether this is the
  // first answer, so a rejected answer still goes through the encoder.
  void SuccessImpl(const T* result) override {
    std::vector<uint8_t> bytes;
    codec_->EncodeSuccessEnvelopeTo(result, &bytes);
    reply_holder_.SendResponse(&bytes);
  }

  void ErrorImpl(const std::string& error_code,
                 const std::string& error_message,
                 const T* error_details) override {
    std::vector<uint8_t> bytes;
    codec_->EncodeErrorEnvelopeTo(error_code, error_message, error_details,
                                  &bytes);
    reply_holder_.SendResponse(&bytes);
  }

  void NotImplementedImpl() override { reply_holder_.SendResponse(nullptr); }

 private:
  ReplyHolder reply_holder_;
  const MethodCodec<T>* codec_;
  std::shared_ptr<const std::vector<uint8_t>> failure_reply_;
};

extern template class EngineMethodResult<EncodableValue>;

}  // namespace flutter
