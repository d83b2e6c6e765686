// The portable exports of the engine interface: engine and messenger. Every
// export traces its call and lets no exception escape.

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "codec/diagnostics.h"
#include "host/flutter_windows.h"
#include "sim/engine/engine_trace.h"
#include "sim/engine/platform.h"
#include "sim/engine/simulated_engine.h"
#include "sim/engine/simulated_engine_hooks.h"
#include "sim/stand_in_marker.h"

using lanternquill::sim::EngineTrace;
using lanternquill::sim::TraceCall;
using lanternquill::sim::TraceLine;

// Exported, so that no linker drops it and no stripping removes it.
extern "C" FLUTTER_EXPORT const char LanternquillStandIn[] =
    LANTERNQUILL_STAND_IN_MARKER "simulated engine";

namespace {

// Runs `body`, turning any exception into `fallback`.
template <typename Result, typename Body>
Result Guarded(Result fallback, Body body) noexcept {
  try {
    return body();
  } catch (...) {
    return fallback;
  }
}

template <typename Body>
void Guarded(Body body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

void TraceEngineCreate(const FlutterDesktopEngineProperties* properties) {
  TraceLine line("FlutterDesktopEngineCreate");
  if (properties != nullptr) {
    using lanternquill::sim::WideToUtf8;
    line.String("assets_path", WideToUtf8(properties->assets_path))
        .String("icu_data_path", WideToUtf8(properties->icu_data_path))
        .String("aot_library_path", WideToUtf8(properties->aot_library_path))
        .OptionalString("entrypoint", properties->entrypoint);
    if (properties->entrypoint_argv == nullptr) {
      line.Null("arguments");
    } else {
      std::vector<std::optional<std::string>> arguments;
      for (int32_t i = 0; i < properties->entrypoint_argc; ++i) {
        const char* argument = properties->entrypoint_argv[i];
        if (argument == nullptr) {
          arguments.emplace_back();
        } else {
          arguments.emplace_back(argument);
        }
      }
      line.StringList("arguments", arguments);
    }
    line.Int("argc", properties->entrypoint_argc);
  }
  EngineTrace::Instance().Write(line);
}

}  // namespace

FlutterDesktopEngineRef FlutterDesktopEngineCreate(
    const FlutterDesktopEngineProperties* properties) {
  return Guarded<FlutterDesktopEngineRef>(nullptr, [&] {
    EngineTrace::Instance().OpenFromEnvironment();
    TraceEngineCreate(properties);
    if (properties == nullptr) {
      return FlutterDesktopEngineRef{nullptr};
    }
    return FlutterDesktopEngine::Create(
               *properties, lanternquill::sim::ExecutableDirectory())
        .release();
  });
}

bool FlutterDesktopEngineDestroy(FlutterDesktopEngineRef engine) {
  return Guarded(false, [&] {
    TraceCall("FlutterDesktopEngineDestroy");
    delete engine;
    return true;
  });
}

FlutterDesktopMessengerRef FlutterDesktopEngineGetMessenger(
    FlutterDesktopEngineRef engine) {
  return Guarded<FlutterDesktopMessengerRef>(nullptr, [&] {
    TraceCall("FlutterDesktopEngineGetMessenger");
    return engine == nullptr ? nullptr : engine->messenger();
  });
}

FlutterDesktopPluginRegistrarRef FlutterDesktopEngineGetPluginRegistrar(
    FlutterDesktopEngineRef engine, const char* plugin_name) {
  return Guarded<FlutterDesktopPluginRegistrarRef>(nullptr, [&] {
    TraceLine line("FlutterDesktopEngineGetPluginRegistrar");
    line.OptionalString("plugin", plugin_name);
    FlutterDesktopPluginRegistrarRef registrar = nullptr;
    if (engine != nullptr && plugin_name != nullptr) {
      registrar = engine->Registrar(plugin_name);
      line.Int("registrar", registrar->id);
    } else {
      line.Null("registrar");
    }
    EngineTrace::Instance().Write(line);
    return registrar;
  });
}

void FlutterDesktopEngineReloadSystemFonts(FlutterDesktopEngineRef /*engine*/) {
  Guarded([] { TraceCall("FlutterDesktopEngineReloadSystemFonts"); });
}

void FlutterDesktopEngineSetNextFrameCallback(
    FlutterDesktopEngineRef engine, FlutterDesktopOnNextFrameCallback callback,
    void* user_data) {
  Guarded([&] {
    TraceCall("FlutterDesktopEngineSetNextFrameCallback");
    if (engine != nullptr) {
      engine->SetNextFrameCallback(callback, user_data);
    }
  });
}

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger,
                                 const char* channel,
                                 const uint8_t* /*message*/,
                                 size_t /*message_size*/) {
  return Guarded(false, [&] {
    TraceCall("FlutterDesktopMessengerSend");
    if (messenger == nullptr || channel == nullptr) {
      return false;
    }
    return messenger->Send(channel, nullptr, nullptr);
  });
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger,
                                          const char* channel,
                                          const uint8_t* /*message*/,
                                          size_t /*message_size*/,
                                          FlutterDesktopBinaryReply reply,
                                          void* user_data) {
  return Guarded(false, [&] {
    TraceCall("FlutterDesktopMessengerSendWithReply");
    if (messenger == nullptr || channel == nullptr) {
      return false;
    }
    return messenger->Send(channel, reply, user_data);
  });
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger,
                                        const char* channel,
                                        FlutterDesktopMessageCallback callback,
                                        void* user_data) {
  Guarded([&] {
    EngineTrace::Instance().Write(
        TraceLine("FlutterDesktopMessengerSetCallback")
            .OptionalString("channel", channel)
            .Bool("set", callback != nullptr));
    if (messenger != nullptr && channel != nullptr) {
      messenger->SetCallback(channel, callback, user_data);
    }
  });
}

void FlutterDesktopMessengerSendResponse(
    FlutterDesktopMessengerRef messenger,
    const FlutterDesktopMessageResponseHandle* handle, const uint8_t* data,
    size_t data_length) {
  Guarded([&] {
    EngineTrace::Instance().Write(
        TraceLine("FlutterDesktopMessengerSendResponse")
            .Int("size", static_cast<int64_t>(data_length)));
    if (messenger == nullptr ||
        !messenger->SendResponse(handle, data, data_length)) {
      flutter::WriteDiagnosticLine(
          "simulated engine: response handle unknown or already used");
    }
  });
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(
    FlutterDesktopMessengerRef messenger) {
  return Guarded<FlutterDesktopMessengerRef>(nullptr, [&] {
    TraceCall("FlutterDesktopMessengerAddRef");
    if (messenger != nullptr) {
      messenger->AddRef();
    }
    return messenger;
  });
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  Guarded([&] {
    TraceCall("FlutterDesktopMessengerRelease");
    if (messenger != nullptr) {
      FlutterDesktopMessenger::Release(messenger);
    }
  });
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  return Guarded(false, [&] {
    TraceCall("FlutterDesktopMessengerIsAvailable");
    return messenger != nullptr && messenger->IsAvailable();
  });
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(
    FlutterDesktopMessengerRef messenger) {
  return Guarded<FlutterDesktopMessengerRef>(nullptr, [&] {
    TraceCall("FlutterDesktopMessengerLock");
    if (messenger != nullptr) {
      messenger->Lock();
    }
    return messenger;
  });
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  Guarded([&] {
    TraceCall("FlutterDesktopMessengerUnlock");
    if (messenger != nullptr) {
      messenger->Unlock();
    }
  });
}

void FlutterDesktopResyncOutputStreams(void) {
  Guarded([] {
    TraceCall("FlutterDesktopResyncOutputStreams");
    // The host may have pointed the process's standard handles elsewhere, at
    // a console opened later; this library's C streams follow them, and its
    // C++ streams write through those again.
    lanternquill::sim::RebindOutputStreams();
    std::clearerr(stdout);
    std::clearerr(stderr);
    std::ios::sync_with_stdio(true);
    std::cout.clear();
    std::cerr.clear();
  });
}

void LanternquillSimTracePluginRegistration(
    const char* function_name, FlutterDesktopPluginRegistrarRef registrar) {
  Guarded([&] {
    TraceLine line(function_name == nullptr ? "" : function_name);
    const std::optional<int> id = lanternquill::sim::RegistrarId(registrar);
    if (id) {
      line.Int("registrar", *id);
    } else {
      line.Null("registrar");
    }
    EngineTrace::Instance().Write(line);
  });
}
