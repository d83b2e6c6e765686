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

// Granted before the next call fails with std::bad_alloc, each failure
// counted. Every further call fails too until it is set back to kNeverFail,
// or, with g_fail_once, the calls after the one failure succeed.
constexpr size_t kNeverFail = std::numeric_limits<size_t>::max();
extern size_t g_allocations_left;
extern size_t g_failed_allocations;
extern bool g_fail_once;

}  // namespace lq_test
