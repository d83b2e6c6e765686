#include "messaging/binary_messenger_impl.h"

#include <exception>
#include <memory>
#include <utility>

#include "codec/diagnostics.h"
#include "messaging/engine_reply.h"

namespace flutter {

namespace {

// The sender's reply callback while the engine holds it.
struct SendRecord {
  ReplyCallback reply;
};

// The engine's callbacks are C entry points: an exception must end here, and
// so reporting it must not throw either, nor need memory that may have run
// out.
void ReportException(const char* where,
                     const std::exception* exception) noexcept {
  WriteDiagnosticLine(
      {"Exception in ", where, ": ",
       exception != nullptr ? exception->what() : "unknown exception"});
}

}  // namespace

void BinaryMessengerImpl::Send(const std::string& channel,
                               const uint8_t* message, size_t message_size,
                               ReplyCallback reply) {
  if (!reply) {
    FlutterDesktopMessengerSend(messenger_, channel.c_str(), message,
                                message_size);
    return;
  }
  auto record = std::make_unique<SendRecord>(SendRecord{std::move(reply)});
  if (FlutterDesktopMessengerSendWithReply(messenger_, channel.c_str(), message,
                                           message_size, &OnEngineReply,
                                           record.get())) {
    // The engine now owns the record and hands it back to OnEngineReply.
    static_cast<void>(record.release());
  }
}

void BinaryMessengerImpl::SetMessageHandler(const std::string& channel,
                                            MessageHandler handler) {
  if (!handler) {
    handlers_.erase(channel);
    FlutterDesktopMessengerSetCallback(messenger_, channel.c_str(), nullptr,
                                       nullptr);
    return;
  }
  MessageHandler& slot = handlers_[channel];
  {
    // The old handler is destroyed before the new one is stored.
    MessageHandler old;
    old.swap(slot);
  }
  slot = std::move(handler);
  FlutterDesktopMessengerSetCallback(messenger_, channel.c_str(),
                                     &OnEngineMessage, &slot);
}

void OnEngineMessage(FlutterDesktopMessengerRef messenger,
                     const FlutterDesktopMessage* message, void* user_data) {
  // The trampoline's own share: while the handler runs, the engine reference
  // is held even if the handler drops its reply at once.
  std::shared_ptr<EngineReply::KeepAlive> keep_alive;
  ReplyCallback reply;
  try {
    keep_alive = std::make_shared<EngineReply::KeepAlive>(
        messenger, message->response_handle);
    reply = EngineReply(keep_alive);
  } catch (const std::exception& exception) {
    // Memory ran out before the message could be handed on. It is answered
    // as the engine answers a message no handler takes, with the empty
    // reply, so that its sender does not wait for ever.
    ReportException("message delivery", &exception);
    const FlutterDesktopMessageResponseHandle* response_handle =
        message->response_handle;
    SendEngineResponse(messenger, &response_handle, nullptr, 0);
    return;
  }
  try {
    const auto& handler = *static_cast<const MessageHandler*>(user_data);
    handler(message->message, message->message_size, std::move(reply));
  } catch (const std::exception& exception) {
    ReportException("message handler", &exception);
  } catch (...) {
    ReportException("message handler", nullptr);
  }
}

void OnEngineReply(const uint8_t* data, size_t data_size, void* user_data) {
  std::unique_ptr<SendRecord> record(static_cast<SendRecord*>(user_data));
  try {
    record->reply(data, data_size);
  } catch (const std::exception& exception) {
    ReportException("reply handler", &exception);
  } catch (...) {
    ReportException("reply handler", nullptr);
  }
}

}  // namespace flutter
