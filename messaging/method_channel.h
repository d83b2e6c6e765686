#pragma once

#include <string>
#include <utility>

#include "codec/encodable_value.h"
#include "codec/method_codec.h"
#include "messaging/binary_messenger.h"
#include "messaging/method_call_handler.h"

namespace flutter {

// Binds a channel name on a messenger to a method codec, for calls coming
// from the engine. The registration it makes outlives the channel object.
class MethodChannel {
 public:
  // Neither the messenger nor the codec is owned; the codec must live as long
  // as the registration.
  MethodChannel(BinaryMessenger* messenger, std::string name,
                const MethodCodec<EncodableValue>* codec)
      : messenger_(messenger), name_(std::move(name)), codec_(codec) {}

  // Registers `handler` for the channel's calls; an empty handler removes the
  // registration. Each call reaches the handler decoded, with a result that
  // must be answered exactly once.
  void SetMethodCallHandler(MethodCallHandler<EncodableValue> handler) const;

 private:
  BinaryMessenger* messenger_;
  std::string name_;
  const MethodCodec<EncodableValue>* codec_;
};

}  // namespace flutter
