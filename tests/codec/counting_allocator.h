#pragma once

#include <cstddef>

namespace flutter::testing {

// Bytes requested from the global operator new, which the program linking
// counting_allocator.cc replaces. A test resets it, runs, and reads it; the
// sum bounds the peak of memory held from above. One thread only.
extern size_t g_allocated_bytes;

}  // namespace flutter::testing
