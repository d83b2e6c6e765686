#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace flutter {

// What the engine runs: the UI bundle's three paths, its entry point and the
// arguments handed to that entry point. A plain copyable value.
struct EngineProject {
  // Appends "\flutter_assets", "\icudtl.dat" and "\app.so" to `base_path`
  // as they stand: a relative base stays relative.
  explicit EngineProject(const std::wstring& base_path);

  std::wstring assets_path;
  std::wstring icu_data_path;
  std::wstring aot_library_path;
  // Empty names the engine's default entry point.
  std::string entrypoint;
  std::vector<std::string> entrypoint_arguments;
  // Passed through to the engine unchanged.
  std::array<int32_t, 2> engine_options{};
};

}  // namespace flutter
