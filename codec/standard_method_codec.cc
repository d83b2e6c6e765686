#include "codec/standard_method_codec.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <variant>

#include "codec/byte_buffer_streams.h"
#include "codec/diagnostics.h"

namespace flutter {
namespace {

// The envelope byte in front of every reply.
constexpr uint8_t kSuccessEnvelope = 0;
constexpr uint8_t kErrorEnvelope = 1;

// Room reserved for a new message: a typical call or reply fits without the
// vector regrowing.
constexpr size_t kInitialMessageCapacity = 64;

// One codec per serializer, keyed by the serializer's address. Lookups are
// locked too: a lookup racing an insertion for another serializer would
// otherwise read a map that is being rebalanced.
struct CodecRegistry {
  std::mutex mutex;
  std::map<const StandardCodecSerializer*, std::unique_ptr<StandardMethodCodec>>
      codecs;
};

std::unique_ptr<std::vector<uint8_t>> NewMessage() {
  auto bytes = std::make_unique<std::vector<uint8_t>>();
  bytes->reserve(kInitialMessageCapacity);
  return bytes;
}

// An envelope counts the alignment of its values from its first byte, so it
// starts in an empty vector, whatever the vector held.
void StartEnvelope(uint8_t envelope, std::vector<uint8_t>* bytes) {
  bytes->clear();
  bytes->reserve(kInitialMessageCapacity);
  bytes->push_back(envelope);
}

}  // namespace

const StandardMethodCodec& StandardMethodCodec::GetInstance(
    const StandardCodecSerializer* serializer) {
  if (serializer == nullptr) {
    serializer = &StandardCodecSerializer::GetInstance();
  }
  // Never destroyed: the codecs handed out must stay valid until the process
  // has ended, including during the destruction of other statics.
  static CodecRegistry* const registry = new CodecRegistry();
  std::lock_guard<std::mutex> lock(registry->mutex);
  auto& codec = registry->codecs[serializer];
  if (!codec) {
    codec.reset(new StandardMethodCodec(serializer));
  }
  return *codec;
}

void StandardMethodCodec::DecodeMethodCallInto(
    const uint8_t* message, size_t message_size,
    std::optional<MethodCall<EncodableValue>>* call) const {
  call->reset();
  ByteBufferStreamReader stream(message, message_size);
  EncodableValue name = serializer_->ReadValue(&stream);
  auto* method_name = std::get_if<std::string>(&name);
  if (method_name == nullptr) {
    WriteDiagnosticLine("Invalid method call; method name is not a string.");
    return;
  }
  call->emplace(std::move(*method_name), std::in_place,
                serializer_->ReadValue(&stream));
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeMethodCall(
    const MethodCall<EncodableValue>& method_call) const {
  auto bytes = NewMessage();
  ByteBufferStreamWriter stream(bytes.get());
  serializer_->WriteValue(EncodableValue(method_call.method_name()), &stream);
  if (method_call.arguments() != nullptr) {
    serializer_->WriteValue(*method_call.arguments(), &stream);
  } else {
    serializer_->WriteValue(EncodableValue(), &stream);
  }
  return bytes;
}

void StandardMethodCodec::EncodeSuccessEnvelopeTo(
    const EncodableValue* result, std::vector<uint8_t>* bytes) const {
  StartEnvelope(kSuccessEnvelope, bytes);
  ByteBufferStreamWriter stream(bytes);
  if (result != nullptr) {
    serializer_->WriteValue(*result, &stream);
  } else {
    serializer_->WriteValue(EncodableValue(), &stream);
  }
}

void StandardMethodCodec::EncodeErrorEnvelopeTo(
    const std::string& error_code, const std::string& error_message,
    const EncodableValue* error_details, std::vector<uint8_t>* bytes) const {
  StartEnvelope(kErrorEnvelope, bytes);
  ByteBufferStreamWriter stream(bytes);
  serializer_->WriteValue(EncodableValue(error_code), &stream);
  // An empty message travels as null, an empty code as an empty string.
  if (error_message.empty()) {
    serializer_->WriteValue(EncodableValue(), &stream);
  } else {
    serializer_->WriteValue(EncodableValue(error_message), &stream);
  }
  if (error_details != nullptr) {
    serializer_->WriteValue(*error_details, &stream);
  } else {
    serializer_->WriteValue(EncodableValue(), &stream);
  }
}

bool StandardMethodCodec::DecodeResponseEnvelope(
    const uint8_t* response, size_t response_size,
    MethodResult<EncodableValue>* result) const {
  ByteBufferStreamReader stream(response, response_size);
  const uint8_t envelope = stream.ReadByte();
  if (envelope == kSuccessEnvelope) {
    EncodableValue value = serializer_->ReadValue(&stream);
    if (value.IsNull()) {
      result->Success();
    } else {
      result->Success(value);
    }
    return true;
  }
  if (envelope == kErrorEnvelope) {
    EncodableValue code = serializer_->ReadValue(&stream);
    EncodableValue message = serializer_->ReadValue(&stream);
    EncodableValue details = serializer_->ReadValue(&stream);
    // A code or message of another alternative raises bad_variant_access
    // here, before the result is touched.
    const std::string& error_code = std::get<std::string>(code);
    const std::string error_message =
        message.IsNull() ? std::string() : std::get<std::string>(message);
    if (details.IsNull()) {
      result->Error(error_code, error_message);
    } else {
      result->Error(error_code, error_message, details);
    }
    return true;
  }
  return false;
}

}  // namespace flutter
