#include "messaging/method_channel.h"

#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "codec/diagnostics.h"
#include "messaging/engine_method_result.h"
#include "messaging/method_call.h"

namespace flutter {

namespace {

// The answer of a call that could not be handled: its handler threw, or
// memory ran out on the way.
constexpr char kFailureCode[] = "INTERNAL_ERROR";
constexpr char kFailureMessage[] = "Exception in method call handler";

using Result = EngineMethodResult<EncodableValue>;

// The messenger-level handler of one method channel. It needs nothing from
// the channel object, which may be gone long before.
class ChannelCallHandler {
 public:
  // The failure answer is encoded here, once, so that sending it later needs
  // no memory.
  ChannelCallHandler(MethodCallHandler<EncodableValue> handler,
                     const MethodCodec<EncodableValue>* codec, std::string name)
      : handler_(std::move(handler)),
        codec_(codec),
        name_(std::move(name)),
        failure_reply_(codec->EncodeErrorEnvelope(kFailureCode, kFailureMessage,
                                                  nullptr)) {}

  void operator()(const uint8_t* message, size_t message_size,
                  ReplyCallback reply) const {
    try {
      std::unique_ptr<Result> result = NewResult(reply);
      if (result == nullptr) {
        ReportFailure(std::bad_alloc().what());
        reply(failure_reply_->data(), failure_reply_->size());
        return;
      }
      // The call lives here until the handler has returned.
      std::optional<MethodCall<EncodableValue>> call;
      codec_->DecodeMethodCallInto(message, message_size, &call);
      if (!call) {
        WriteDiagnosticLine(
            {"Unable to construct method call from message on channel ",
             name_});
        result->NotImplemented();
        return;
      }
      // An exception from here on destroys the result on its way out, and an
      // unanswered result then sends the failure answer itself. A result
      // handed on before the exception is its new owner's to answer.
      handler_(*call, std::move(result));
    } catch (const std::exception& exception) {
      ReportFailure(exception.what());
    } catch (...) {
      ReportFailure("unknown exception");
    }
  }

 private:
  // The result answering through `reply`; null, with `reply` left as it
  // was, when memory has run out, so that the call can still be answered.
  std::unique_ptr<Result> NewResult(ReplyCallback& reply) const noexcept {
    return std::unique_ptr<Result>(
        new (std::nothrow) Result(std::move(reply), codec_, failure_reply_));
  }

  void ReportFailure(const char* what) const {
    WriteDiagnosticLine(
        {"Exception in method call handler on channel ", name_, ": ", what});
  }

  MethodCallHandler<EncodableValue> handler_;
  const MethodCodec<EncodableValue>* codec_;
  std::string name_;
  std::shared_ptr<const std::vector<uint8_t>> failure_reply_;
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
