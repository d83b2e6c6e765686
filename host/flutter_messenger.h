#pragma once

// The messenger part of the engine interface: byte messages on named channels
// between the host and the UI bundle. Portable, so the messaging layer builds
// and is tested natively.

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "host/flutter_export.h"

#if defined(__cplusplus)
extern "C" {
#endif

typedef struct FlutterDesktopMessenger* FlutterDesktopMessengerRef;

// The engine's token for answering one incoming message.
typedef struct FlutterDesktopMessageResponseHandleOpaque
    FlutterDesktopMessageResponseHandle;

// The record the engine passes with each incoming message. The host reads the
// message pointer (offset 16), byte count (24) and response handle (32).
typedef struct {
  size_t struct_size;
  const char* channel;
  const uint8_t* message;
  size_t message_size;
  const FlutterDesktopMessageResponseHandle* response_handle;
} FlutterDesktopMessage;

#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
#if defined(__cplusplus)
static_assert(offsetof(FlutterDesktopMessage, message) == 16,
              "message pointer at offset 16");
static_assert(offsetof(FlutterDesktopMessage, message_size) == 24,
              "byte count at offset 24");
static_assert(offsetof(FlutterDesktopMessage, response_handle) == 32,
              "response handle at offset 32");
#endif
#endif

// Receives every message of one channel, on the UI thread.
typedef void (*FlutterDesktopMessageCallback)(
    FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message,
    void* user_data);

// Receives the other side's reply to a message sent with a reply.
typedef void (*FlutterDesktopBinaryReply)(const uint8_t* data, size_t data_size,
                                          void* user_data);

FLUTTER_EXPORT bool FlutterDesktopMessengerSend(
    FlutterDesktopMessengerRef messenger, const char* channel,
    const uint8_t* message, size_t message_size);

// True: `reply` will be called exactly once with `user_data`; false: never.
FLUTTER_EXPORT bool FlutterDesktopMessengerSendWithReply(
    FlutterDesktopMessengerRef messenger, const char* channel,
    const uint8_t* message, size_t message_size,
    FlutterDesktopBinaryReply reply, void* user_data);

// Null callback and user data withdraw the channel's registration.
FLUTTER_EXPORT void FlutterDesktopMessengerSetCallback(
    FlutterDesktopMessengerRef messenger, const char* channel,
    FlutterDesktopMessageCallback callback, void* user_data);

// Uses up `handle`. `data` may be null for the empty response.
FLUTTER_EXPORT void FlutterDesktopMessengerSendResponse(
    FlutterDesktopMessengerRef messenger,
    const FlutterDesktopMessageResponseHandle* handle, const uint8_t* data,
    size_t data_length);

FLUTTER_EXPORT FlutterDesktopMessengerRef
FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger);
FLUTTER_EXPORT void FlutterDesktopMessengerRelease(
    FlutterDesktopMessengerRef messenger);

// True while the engine behind the messenger exists.
FLUTTER_EXPORT bool FlutterDesktopMessengerIsAvailable(
    FlutterDesktopMessengerRef messenger);

// Returns a token (the messenger) that the matching unlock takes.
FLUTTER_EXPORT FlutterDesktopMessengerRef
FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger);
FLUTTER_EXPORT void FlutterDesktopMessengerUnlock(
    FlutterDesktopMessengerRef messenger);

#if defined(__cplusplus)
}  // extern "C"
#endif
