#pragma once

#include <string_view>

namespace flutter {

// Writes one diagnostic line to the standard error stream: the text alone,
// then a newline and a flush, so the line is out even if the process dies.
void WriteDiagnosticLine(std::string_view text);

}  // namespace flutter
