#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "host/flutter_messenger.h"
#include "messaging/binary_messenger.h"

namespace flutter {

// The binary messenger over the engine's messenger handle. The engine holds
// the address of each stored handler as the user data of the channel's
// registration, so handlers live in a node-based map and the messenger is
// never copied or moved. Destroying it discards the handlers without telling
// the engine: the engine must be gone first. Used on the UI thread only.
class BinaryMessengerImpl : public BinaryMessenger {
 public:
  explicit BinaryMessengerImpl(FlutterDesktopMessengerRef messenger)
      : messenger_(messenger) {}
  ~BinaryMessengerImpl() override = default;

  BinaryMessengerImpl(const BinaryMessengerImpl&) = delete;
  BinaryMessengerImpl& operator=(const BinaryMessengerImpl&) = delete;
  BinaryMessengerImpl(BinaryMessengerImpl&&) = delete;
  BinaryMessengerImpl& operator=(BinaryMessengerImpl&&) = delete;

  void Send(const std::string& channel, const uint8_t* message,
            size_t message_size, ReplyCallback reply = nullptr) override;
  void SetMessageHandler(const std::string& channel,
                         MessageHandler handler) override;

 private:
  FlutterDesktopMessengerRef messenger_;
  std::map<std::string, MessageHandler> handlers_;
};

// The engine's callback for every registered channel; `user_data` is the
// channel's stored MessageHandler.
void OnEngineMessage(FlutterDesktopMessengerRef messenger,
                     const FlutterDesktopMessage* message, void* user_data);

// The engine's callback for the reply to a Send with a reply; `user_data` is
// the send record, freed here.
void OnEngineReply(const uint8_t* data, size_t data_size, void* user_data);

}  // namespace flutter
