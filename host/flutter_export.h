#pragma once

// Importers declare the engine's functions plainly and link its import
// library; the library that implements them marks them for export.
#if defined(FLUTTER_DESKTOP_IMPLEMENTATION)
#if defined(_WIN32)
#define FLUTTER_EXPORT __declspec(dllexport)
#else
#define FLUTTER_EXPORT __attribute__((visibility("default")))
#endif
#else
#define FLUTTER_EXPORT
#endif
