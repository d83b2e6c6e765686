// Stand-in for system_tray_plugin.dll: registers nothing, records the call.

#include "sim/plugins/plugin_stand_in.h"

LQ_PLUGIN_EXPORT void SystemTrayPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  RecordPluginRegistration("SystemTrayPluginRegisterWithRegistrar", registrar);
}
