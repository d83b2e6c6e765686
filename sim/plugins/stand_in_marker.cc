// Compiled into every plugin stand-in: the marker that tells it for what it
// is (sim/stand_in_marker.h), exported so that no linker drops it and no
// stripping removes it.

#include "sim/stand_in_marker.h"
#include "sim/plugins/plugin_stand_in.h"

LQ_PLUGIN_EXPORT const char LanternquillStandIn[] =
    LANTERNQUILL_STAND_IN_MARKER "stand-in plugins";
