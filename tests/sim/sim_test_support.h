#pragma once

// What the simulated engine's tests share: an engine made for a bundle, and
// the lines of a file such as the trace.

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/flutter_windows.h"

namespace lq_sim_test {

// An engine for the bundle whose assets are at `assets`, with the ICU data
// and AOT library paths the host passes.
inline FlutterDesktopEngineRef CreateEngine(const wchar_t* assets) {
  FlutterDesktopEngineProperties properties{};
  properties.assets_path = assets;
  properties.icu_data_path = L"data\\icudtl.dat";
  properties.aot_library_path = L"data\\app.so";
  properties.entrypoint = "";
  return FlutterDesktopEngineCreate(&properties);
}

inline std::vector<std::string> ReadLines(const std::filesystem::path& path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(file, line)) lines.push_back(line);
  return lines;
}

}  // namespace lq_sim_test
