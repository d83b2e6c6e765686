// Stand-in for window_manager_plugin.dll: registers nothing, records the call.

#include "sim/plugins/plugin_stand_in.h"

LQ_PLUGIN_EXPORT void WindowManagerPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  RecordPluginRegistration("WindowManagerPluginRegisterWithRegistrar",
                           registrar);
}
