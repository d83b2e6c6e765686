#pragma once

// Opens a console for the process and points the standard output and error
// streams (and the engine's) at it. For runs under a debugger without a
// parent console.
void OpenDebugConsole();
