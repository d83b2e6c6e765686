#pragma once

// The engine trace: one JSON object per line for every call the host makes
// into the engine interface and every callback the engine makes into the
// host, so end-to-end tests can check what crossed the interface.

#include <cstdint>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lanternquill::sim {

// Converts a NUL-terminated wide string (UTF-16 where wchar_t has 16 bits,
// UTF-32 otherwise) to UTF-8; unpaired surrogates become U+FFFD.
std::string WideToUtf8(const wchar_t* text);

// Builds one trace object; fields appear in the order they are added.
class TraceLine {
 public:
  explicit TraceLine(std::string_view call);

  TraceLine& String(std::string_view key, std::string_view value);
  // A null pointer is written as JSON null.
  TraceLine& OptionalString(std::string_view key, const char* value);
  TraceLine& Int(std::string_view key, int64_t value);
  TraceLine& Bool(std::string_view key, bool value);
  TraceLine& Null(std::string_view key);
  TraceLine& StringList(std::string_view key,
                        const std::vector<std::optional<std::string>>& values);

  // The finished object, without a line end.
  std::string Finish() const;

 private:
  void Key(std::string_view key);

  std::string text_;
};

// The process-wide trace file, named by LANTERNQUILL_ENGINE_TRACE.
class EngineTrace {
 public:
  static EngineTrace& Instance();

  // Follows the environment variable: opens the named file for appending,
  // keeps it when the name is unchanged, closes it when the variable is gone.
  void OpenFromEnvironment();
  void Open(const std::string& path);
  void Close();
  // Appends the line and flushes it; does nothing without a file.
  void Write(const TraceLine& line);

 private:
  EngineTrace() = default;
  void OpenLocked(const std::string& path);

  std::mutex mutex_;
  bool environment_read_ = false;
  std::string path_;
  std::ofstream file_;
};

// Shorthand for the traced calls that carry no fields.
void TraceCall(std::string_view call);

}  // namespace lanternquill::sim
