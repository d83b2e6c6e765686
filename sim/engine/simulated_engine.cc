#include "sim/engine/simulated_engine.h"

#include <mutex>
#include <system_error>
#include <utility>

#include "sim/engine/engine_trace.h"

namespace lanternquill::sim {
namespace {

std::mutex& RegistrarMutex() {
  static auto* mutex = new std::mutex();
  return *mutex;
}

std::map<const FlutterDesktopPluginRegistrar*, int>& LiveRegistrars() {
  static auto* registrars =
      new std::map<const FlutterDesktopPluginRegistrar*, int>();
  return *registrars;
}

std::filesystem::path WidePath(const wchar_t* text) {
  return text == nullptr ? std::filesystem::path()
                         : std::filesystem::path(std::wstring(text));
}

}  // namespace

std::filesystem::path ResolveAgainst(const std::filesystem::path& path,
                                     const std::filesystem::path& base) {
  if (path.is_absolute()) {
    return path;
  }
  return base / path;
}

std::optional<int> RegistrarId(const FlutterDesktopPluginRegistrar* registrar) {
  std::lock_guard<std::mutex> lock(RegistrarMutex());
  const auto found = LiveRegistrars().find(registrar);
  if (found == LiveRegistrars().end()) {
    return std::nullopt;
  }
  return found->second;
}

}  // namespace lanternquill::sim

std::unique_ptr<FlutterDesktopEngine> FlutterDesktopEngine::Create(
    const FlutterDesktopEngineProperties& properties,
    const std::filesystem::path& executable_directory) {
  using lanternquill::sim::ResolveAgainst;
  using lanternquill::sim::WidePath;
  const std::filesystem::path assets =
      ResolveAgainst(WidePath(properties.assets_path), executable_directory);
  std::error_code error;
  if (properties.assets_path == nullptr ||
      !std::filesystem::is_directory(assets, error)) {
    return nullptr;
  }
  std::unique_ptr<FlutterDesktopEngine> engine(new FlutterDesktopEngine());
  engine->assets_path_ = assets;
  engine->icu_data_path_ =
      ResolveAgainst(WidePath(properties.icu_data_path), executable_directory);
  engine->aot_library_path_ = ResolveAgainst(
      WidePath(properties.aot_library_path), executable_directory);
  if (properties.entrypoint != nullptr) {
    engine->entrypoint_ = properties.entrypoint;
  }
  if (properties.entrypoint_argv != nullptr) {
    for (int32_t i = 0; i < properties.entrypoint_argc; ++i) {
      const char* argument = properties.entrypoint_argv[i];
      engine->arguments_.emplace_back(argument == nullptr ? "" : argument);
    }
  }
  engine->messenger_ = new FlutterDesktopMessenger(&engine->tasks_);
  engine->ui_binding_ = lanternquill::sim::BindToCurrentThread(&engine->tasks_);
  return engine;
}

FlutterDesktopEngine::~FlutterDesktopEngine() {
  ui_binding_.reset();
  messenger_->Shutdown();
  FlutterDesktopMessenger::Release(messenger_);
  tasks_.Clear();
  std::lock_guard<std::mutex> lock(lanternquill::sim::RegistrarMutex());
  for (const auto& entry : registrars_) {
    lanternquill::sim::LiveRegistrars().erase(entry.second.get());
  }
}

FlutterDesktopPluginRegistrar* FlutterDesktopEngine::Registrar(
    const std::string& plugin_name) {
  auto& slot = registrars_[plugin_name];
  if (!slot) {
    slot = std::make_unique<FlutterDesktopPluginRegistrar>();
    slot->id = static_cast<int>(registrars_.size());
    std::lock_guard<std::mutex> lock(lanternquill::sim::RegistrarMutex());
    lanternquill::sim::LiveRegistrars()[slot.get()] = slot->id;
  }
  return slot.get();
}

void FlutterDesktopEngine::SetNextFrameCallback(
    FlutterDesktopOnNextFrameCallback callback, void* user_data) {
  next_frame_callback_ = callback;
  next_frame_user_data_ = user_data;
}

void FlutterDesktopEngine::FramePainted() {
  if (next_frame_callback_ == nullptr) {
    return;
  }
  const FlutterDesktopOnNextFrameCallback callback = next_frame_callback_;
  void* const user_data = next_frame_user_data_;
  next_frame_callback_ = nullptr;
  next_frame_user_data_ = nullptr;
  // Posted, so the host runs outside the paint handler; dropped unrun if
  // the engine goes first.
  tasks_.Post([callback, user_data] {
    lanternquill::sim::TraceCall("NextFrameCallback");
    callback(user_data);
  });
}

FlutterDesktopMessenger::Delivery FlutterDesktopEngine::DeliverFromUi(
    const std::string& channel, const std::vector<uint8_t>& message,
    FlutterDesktopMessenger::ResponseSink sink) {
  if (channel == lanternquill::sim::kInputChannel) {
    std::string method =
        lanternquill::sim::MethodNameOf(message.data(), message.size());
    sink = [log = input_log_, method = std::move(method),
            inner = std::move(sink)](const uint8_t* data, size_t size) {
      log->Record({method, lanternquill::sim::DescribeReply(data, size)});
      if (inner) {
        inner(data, size);
      }
    };
  }
  return messenger_->DeliverFromUi(channel, message.data(), message.size(),
                                   std::move(sink));
}
