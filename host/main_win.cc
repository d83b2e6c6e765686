// Process entry of lanternquill.exe.

#include <windows.h>

#include <cstdlib>

#include "host/command_line.h"
#include "host/debug_console.h"
#include "host/engine_project.h"
#include "host/flutter_window.h"
#include "host/restart_registration.h"

int APIENTRY wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/,
                      wchar_t* /*command_line*/, int /*show_command*/) {
  // First of all, before anything can load a library by its bare name (the
  // console, COM, the engine and the plugins all may): such a load then
  // searches only our own folder and System32, never the current folder or
  // PATH, where anyone could have put a library of that name.
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_APPLICATION_DIR |
                             LOAD_LIBRARY_SEARCH_SYSTEM32);

  // Diagnostics go to the console of whoever started us; under a debugger
  // without one, open our own.
  if (!::AttachConsole(ATTACH_PARENT_PROCESS) && ::IsDebuggerPresent()) {
    OpenDebugConsole();
  }

  // COM must be a single-threaded apartment on this thread before any window,
  // engine or plugin exists: the plugins and the engine's platform code use
  // COM objects that need the apartment of the thread that pumps messages.
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  // "data" stays relative: the engine resolves it against the executable's
  // folder, so the bundle can be started from any working directory.
  flutter::EngineProject project(L"data");
  project.entrypoint_arguments = CollectEntryArguments();

  // Before the window exists: from then on Restart Manager can close us for
  // an update, and it starts again only what had registered when it did.
  RegisterForRestartAfterUpdate(::GetCommandLineW(),
                                &::RegisterApplicationRestart);

  FlutterWindow window(project);
  if (!window.Create(L"Lanternquill", WindowPoint{10, 10},
                     WindowSize{1280, 720})) {
    return EXIT_FAILURE;
  }
  window.SetQuitOnDestroy(true);

  MSG message;
  // GetMessageW returns -1 on failure; looping on it would never end.
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }

  ::CoUninitialize();
  return EXIT_SUCCESS;
}
