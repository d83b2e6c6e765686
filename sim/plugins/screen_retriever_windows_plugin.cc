// Stand-in for screen_retriever_windows_plugin.dll: registers nothing, records
// the call.

#include "sim/plugins/plugin_stand_in.h"

LQ_PLUGIN_EXPORT void ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  RecordPluginRegistration(
      "ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar", registrar);
}
