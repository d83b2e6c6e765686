#include "codec/diagnostics.h"

#include <cstddef>
#include <iostream>

namespace flutter {

namespace {

// Longer than any line the host writes; a longer text still goes out, only
// with its line end as a write of its own.
constexpr size_t kLineCapacity = 1024;

}  // namespace

void WriteDiagnosticLine(std::string_view text) noexcept {
  // Replies may be answered on any thread. The text and its line end go out
  // in one write, which the standard error stream makes whole, so that two
  // threads' lines never mix; the flush follows. The line is joined on the
  // stack: this is called from destructors and when memory has run out,
  // where an allocation would throw and end the process.
  char line[kLineCapacity];
  try {
    if (text.size() < kLineCapacity) {
      text.copy(line, text.size());
      line[text.size()] = '\n';
      std::cerr.write(line, static_cast<std::streamsize>(text.size() + 1));
    } else {
      std::cerr.write(text.data(), static_cast<std::streamsize>(text.size()));
      std::cerr.put('\n');
    }
    std::cerr.flush();
  } catch (...) {
    // Only a stream told to throw on failure gets here; a diagnostic that
    // cannot be written is lost rather than ending the process.
  }
}

}  // namespace flutter
