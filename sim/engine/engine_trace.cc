#include "sim/engine/engine_trace.h"

#include <cstdio>
#include <filesystem>
#include <type_traits>

#include "codec/diagnostics.h"
#include "sim/engine/json_string.h"
#include "sim/engine/platform.h"

namespace lanternquill::sim {
namespace {

constexpr char kTraceVariable[] = "LANTERNQUILL_ENGINE_TRACE";

void AppendUtf8(std::string* out, uint32_t code_point) {
  if (code_point < 0x80) {
    out->push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

constexpr uint32_t kReplacement = 0xFFFD;

}  // namespace

std::string WideToUtf8(const wchar_t* text) {
  std::string out;
  if (text == nullptr) {
    return out;
  }
  for (size_t i = 0; text[i] != 0; ++i) {
    // wchar_t is a wide unit, not a char: the check's warning does not apply.
    // NOLINTNEXTLINE(bugprone-signed-char-misuse)
    uint32_t unit = static_cast<std::make_unsigned_t<wchar_t>>(text[i]);
    if constexpr (sizeof(wchar_t) == 2) {
      if (unit >= 0xD800 && unit <= 0xDBFF) {
        const uint32_t next =
            // NOLINTNEXTLINE(bugprone-signed-char-misuse)
            static_cast<std::make_unsigned_t<wchar_t>>(text[i + 1]);
        if (next >= 0xDC00 && next <= 0xDFFF) {
          unit = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
          ++i;
        } else {
          unit = kReplacement;
        }
      } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
        unit = kReplacement;
      }
    } else if ((unit >= 0xD800 && unit <= 0xDFFF) || unit > 0x10FFFF) {
      unit = kReplacement;
    }
    AppendUtf8(&out, unit);
  }
  return out;
}

TraceLine::TraceLine(std::string_view call) {
  text_ = "{\"call\": " + JsonString(call);
}

void TraceLine::Key(std::string_view key) {
  text_.append(", " + JsonString(key) + ": ");
}

TraceLine& TraceLine::String(std::string_view key, std::string_view value) {
  Key(key);
  text_.append(JsonString(value));
  return *this;
}

TraceLine& TraceLine::OptionalString(std::string_view key, const char* value) {
  if (value == nullptr) {
    return Null(key);
  }
  return String(key, value);
}

TraceLine& TraceLine::Int(std::string_view key, int64_t value) {
  Key(key);
  text_.append(std::to_string(value));
  return *this;
}

TraceLine& TraceLine::Bool(std::string_view key, bool value) {
  Key(key);
  text_.append(value ? "true" : "false");
  return *this;
}

TraceLine& TraceLine::Null(std::string_view key) {
  Key(key);
  text_.append("null");
  return *this;
}

TraceLine& TraceLine::StringList(
    std::string_view key,
    const std::vector<std::optional<std::string>>& values) {
  Key(key);
  text_.push_back('[');
  for (size_t i = 0; i < values.size(); ++i) {
    if (i != 0) {
      text_.append(", ");
    }
    text_.append(values[i] ? JsonString(*values[i]) : "null");
  }
  text_.push_back(']');
  return *this;
}

std::string TraceLine::Finish() const { return text_ + "}"; }

EngineTrace& EngineTrace::Instance() {
  // Never destroyed: plugins and late replies may trace while the process
  // exits.
  static auto* trace = new EngineTrace();
  return *trace;
}

void EngineTrace::OpenFromEnvironment() {
  const std::optional<std::string> path = EnvironmentVariable(kTraceVariable);
  std::lock_guard<std::mutex> lock(mutex_);
  environment_read_ = true;
  if (!path || path->empty()) {
    file_.close();
    path_.clear();
    return;
  }
  if (*path != path_ || !file_.is_open()) {
    OpenLocked(*path);
  }
}

void EngineTrace::Open(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  environment_read_ = true;
  OpenLocked(path);
}

void EngineTrace::OpenLocked(const std::string& path) {
  file_.close();
  file_.clear();
  path_ = path;
  file_.open(std::filesystem::u8path(path),
             std::ios::out | std::ios::app | std::ios::binary);
  if (!file_.is_open()) {
    flutter::WriteDiagnosticLine("simulated engine: cannot open trace file " +
                                 path);
  }
}

void EngineTrace::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  file_.close();
  path_.clear();
}

void EngineTrace::Write(const TraceLine& line) {
  const std::string text = line.Finish();
  bool read_environment = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    read_environment = !environment_read_;
  }
  if (read_environment) {
    OpenFromEnvironment();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_.is_open()) {
    return;
  }
  file_ << text << '\n';
  file_.flush();
}

void TraceCall(std::string_view call) {
  EngineTrace::Instance().Write(TraceLine(call));
}

}  // namespace lanternquill::sim
