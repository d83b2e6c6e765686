#pragma once

#include "host/plugin_registry.h"

// Registers the application's plugins with the engine, in a fixed order:
// each gets the registrar that `registry` hands out for its name.
void RegisterAllPlugins(flutter::PluginRegistry* registry);
