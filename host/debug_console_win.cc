#include "host/debug_console.h"

#include <windows.h>

#include <io.h>

#include <cstdio>
#include <iostream>

#include "host/flutter_windows.h"

void OpenDebugConsole() {
  if (!::AllocConsole()) {
    return;
  }
  FILE* unused = nullptr;
  if (freopen_s(&unused, "CONOUT$", "w", stdout)) {
    _dup2(_fileno(stdout), 1);
  }
  if (freopen_s(&unused, "CONOUT$", "w", stderr)) {
    // Error output then goes where standard output goes.
    _dup2(_fileno(stdout), 2);
  }
  std::ios::sync_with_stdio(true);
  FlutterDesktopResyncOutputStreams();
}
