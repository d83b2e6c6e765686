#pragma once

#include <initializer_list>
#include <string_view>

namespace flutter {

// Writes one diagnostic line to the standard error stream: the pieces back to
// back, then a newline and a flush, so the line is out even if the process
// dies. Lines written by several threads at once each stay whole. It
// allocates nothing and never throws, so destructors and the answers of a
// process out of memory can report; a line with a name or a number in it is
// given as pieces rather than joined into a string first.
void WriteDiagnosticLine(
    std::initializer_list<std::string_view> pieces) noexcept;

inline void WriteDiagnosticLine(std::string_view text) noexcept {
  WriteDiagnosticLine({text});
}

}  // namespace flutter
