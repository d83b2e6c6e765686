#pragma once

#include <string>

#include "host/flutter_windows.h"

namespace flutter {

// Hands out the engine's registrar for a plugin, by the plugin's name.
class PluginRegistry {
 public:
  virtual ~PluginRegistry() = default;

  virtual FlutterDesktopPluginRegistrarRef RegistrarForPlugin(
      const std::string& plugin_name) = 0;
};

}  // namespace flutter
