#include "messaging/engine_method_result.h"

#include <atomic>

namespace flutter {

namespace {

// A buffer that grew past this is not kept: one large reply must not hold its
// memory for the rest of the process.
constexpr size_t kKeptCapacity = 4096;

// The kept vector, or null while it is lent out. Never destroyed, like the
// codec registry, so that a reply during the destruction of statics still
// finds a valid slot.
std::atomic<std::vector<uint8_t>*> g_kept_envelope{nullptr};

}  // namespace

EnvelopeBuffer::EnvelopeBuffer()
    : bytes_(g_kept_envelope.exchange(nullptr, std::memory_order_acquire)) {
  if (bytes_ == nullptr) {
    bytes_ = new std::vector<uint8_t>();
  }
}

EnvelopeBuffer::~EnvelopeBuffer() {
  if (bytes_->capacity() <= kKeptCapacity) {
    bytes_->clear();
    std::vector<uint8_t>* none = nullptr;
    if (g_kept_envelope.compare_exchange_strong(none, bytes_,
                                                std::memory_order_release)) {
      return;
    }
  }
  delete bytes_;
}

template class EngineMethodResult<EncodableValue>;

}  // namespace flutter
