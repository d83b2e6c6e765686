#include "codec/diagnostics.h"

#include <cstddef>
#include <iostream>

namespace flutter {

namespace {

// Longer than any line the host writes; a longer line still goes out, only
// in several writes.
constexpr size_t kLineCapacity = 1024;

}  // namespace

void WriteDiagnosticLine(
    std::initializer_list<std::string_view> pieces) noexcept {
  // Replies may be answered on any thread. The pieces and the line end go out
  // in one write, which the standard error stream makes whole, so that two
  // threads' lines never mix; the flush follows. The line is joined on the
  // stack: this is called from destructors and when memory has run out,
  // where an allocation would throw and end the process.
  char line[kLineCapacity];
  size_t length = 0;
  try {
    const auto write_out = [&line, &length] {
      std::cerr.write(line, static_cast<std::streamsize>(length));
      length = 0;
    };
    for (std::string_view piece : pieces) {
      while (!piece.empty()) {
        if (length == kLineCapacity) {
          write_out();
        }
        const size_t copied = piece.copy(line + length, kLineCapacity - length);
        length += copied;
        piece.remove_prefix(copied);
      }
    }
    if (length == kLineCapacity) {
      write_out();
    }
    line[length++] = '\n';
    write_out();
    std::cerr.flush();
  } catch (...) {
    // Only a stream told to throw on failure gets here; a diagnostic that
    // cannot be written is lost rather than ending the process.
  }
}

}  // namespace flutter
