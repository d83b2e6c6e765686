#include "codec/diagnostics.h"

#include <iostream>
#include <string>

namespace flutter {

void WriteDiagnosticLine(std::string_view text) {
  // Replies may be answered on any thread. The text and its line end go out
  // in one write, which the standard error stream makes whole, so that two
  // threads' lines never mix; the flush follows.
  std::string line;
  line.reserve(text.size() + 1);
  line.append(text).push_back('\n');
  std::cerr.write(line.data(), static_cast<std::streamsize>(line.size()));
  std::cerr.flush();
}

}  // namespace flutter
