#pragma once

#include <cstddef>
#include <limits>

namespace lq_test {

// The global operator new of a program that links replaced_new.cc counts
// what is asked of it and fails on demand. A test sets or reads these
// around the code it measures. One thread only.

// Calls and bytes asked for so far.
extern size_t g_allocations;
extern size_t g_allocated_bytes;

// Granted before every further call fails with std::bad_alloc, each failure
// counted, until it is set back to kNeverFail.
constexpr size_t kNeverFail = std::numeric_limits<size_t>::max();
extern size_t g_allocations_left;
extern size_t g_failed_allocations;

}  // namespace lq_test
