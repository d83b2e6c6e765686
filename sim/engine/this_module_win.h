#pragma once

#include <windows.h>

namespace lanternquill::sim {

// The module of this library (the DLL, or the executable it is linked into),
// whose instance owns the window classes.
HMODULE ThisModule();

}  // namespace lanternquill::sim
