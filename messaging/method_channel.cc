#include "messaging/method_channel.h"

#include <exception>
#include <memory>
#include <optional>
#include <utility>

#include "codec/diagnostics.h"
#include "codec/standard_method_codec.h"
#include "messaging/engine_method_result.h"
#include "messaging/method_call.h"
#include "messaging/reply_holder.h"

namespace flutter {

namespace {

// The messenger-level handler of one method channel. It needs nothing from
// the channel object, which may be gone long before.
class ChannelCallHandler {
 public:
  ChannelCallHandler(MethodCallHandler<EncodableValue> handler,
                     const MethodCodec<EncodableValue>* codec, std::string name)
      : handler_(std::move(handler)), codec_(codec), name_(std::move(name)) {}

  void operator()(const uint8_t* message, size_t message_size,
                  ReplyCallback reply) const {
    // Shared with the result, so that the call can still be answered if the
    // handler throws after the result it owned was destroyed.
    auto reply_holder = std::make_shared<ReplyHolder>(std::move(reply));
    try {
      auto result = std::make_unique<EngineMethodResult<EncodableValue>>(
          reply_holder, codec_);
      // The standard codec makes the call here rather than on the heap; it
      // lives until the handler has returned either way.
      std::optional<MethodCall<EncodableValue>> in_place;
      std::unique_ptr<MethodCall<EncodableValue>> on_heap;
      const MethodCall<EncodableValue>* call = nullptr;
      if (const StandardMethodCodec* standard = AsStandardMethodCodec(codec_)) {
        standard->DecodeMethodCallInto(message, message_size, &in_place);
        call = in_place ? &*in_place : nullptr;
      } else {
        on_heap = codec_->DecodeMethodCall(message, message_size);
        call = on_heap.get();
      }
      if (call == nullptr) {
        WriteDiagnosticLine(
            "Unable to construct method call from message on channel " + name_);
        result->NotImplemented();
        return;
      }
      handler_(*call, std::move(result));
    } catch (const std::exception& exception) {
      AnswerException(reply_holder, exception.what());
    } catch (...) {
      AnswerException(reply_holder, "unknown exception");
    }
  }

 private:
  // No exception may reach the engine; an unanswered call gets an error
  // envelope instead of never being answered. Only when this share of the
  // holder is the last one, though: a result the handler handed on (to
  // another thread, say) may still answer, and answering here as well would
  // race it. Its owner then answers, or drops it with the usual warning.
  void AnswerException(const std::shared_ptr<ReplyHolder>& reply_holder,
                       const char* what) const {
    WriteDiagnosticLine("Exception in method call handler on channel " + name_ +
                        ": " + what);
    // The count alone orders nothing; answered() takes the holder's lock,
    // which shows an answer given before the last other share went.
    if (reply_holder.use_count() == 1 && !reply_holder->answered()) {
      std::unique_ptr<std::vector<uint8_t>> data =
          codec_->EncodeErrorEnvelope("INTERNAL_ERROR", what, nullptr);
      reply_holder->SendResponse(data.get());
    }
  }

  MethodCallHandler<EncodableValue> handler_;
  const MethodCodec<EncodableValue>* codec_;
  std::string name_;
};

}  // namespace

void MethodChannel::SetMethodCallHandler(
    MethodCallHandler<EncodableValue> handler) const {
  if (!handler) {
    messenger_->SetMessageHandler(name_, nullptr);
    return;
  }
  messenger_->SetMessageHandler(
      name_, ChannelCallHandler(std::move(handler), codec_, name_));
}

}  // namespace flutter
