#include "host/plugin_registrant.h"

#include "host/flutter_windows.h"

// The registration functions of the plugin libraries, imported from
// screen_retriever_windows_plugin.dll, system_tray_plugin.dll and
// window_manager_plugin.dll.
extern "C" {
void ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);
void SystemTrayPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);
void WindowManagerPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);
}

namespace {

struct PluginEntry {
  const char* name;
  void (*register_with_registrar)(FlutterDesktopPluginRegistrarRef);
};

constexpr PluginEntry kPlugins[] = {
    {"ScreenRetrieverWindowsPluginCApi",
     &ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar},
    {"SystemTrayPlugin", &SystemTrayPluginRegisterWithRegistrar},
    {"WindowManagerPlugin", &WindowManagerPluginRegisterWithRegistrar},
};

}  // namespace

void RegisterAllPlugins(flutter::PluginRegistry* registry) {
  for (const PluginEntry& plugin : kPlugins) {
    // Unchecked: an empty registrar is the plugin's to deal with.
    plugin.register_with_registrar(registry->RegistrarForPlugin(plugin.name));
  }
}
