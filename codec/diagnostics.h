#pragma once

#include <string_view>

namespace flutter {

// Writes one diagnostic line to the standard error stream: the text alone,
// then a newline and a flush, so the line is out even if the process dies.
// Lines written by several threads at once each stay whole. It allocates
// nothing and never throws, so destructors and the answers of a process out
// of memory can report.
void WriteDiagnosticLine(std::string_view text) noexcept;

}  // namespace flutter
