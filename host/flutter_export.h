#pragma once

// Importers declare the engine's functions plainly and link its import
// library; the library that implements them marks them for export.
#if defined(FLUTTER_DESKTOP_IMPLEMENTATION) && defined(_WIN32)
#define FLUTTER_EXPORT __declspec(dllexport)
#elif defined(FLUTTER_DESKTOP_IMPLEMENTATION) && defined(__GNUC__)
#define FLUTTER_EXPORT __attribute__((visibility("default")))
#else
#define FLUTTER_EXPORT
#endif
