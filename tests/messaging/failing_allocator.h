#pragma once

#include <cstddef>
#include <limits>

namespace flutter::testing {

// The global operator new of the program linking failing_allocator.cc grants
// this many more allocations and then fails every one with std::bad_alloc,
// counting them, until the count is set back to kNeverFail. One thread only.
constexpr size_t kNeverFail = std::numeric_limits<size_t>::max();
extern size_t g_allocations_left;
extern size_t g_failed_allocations;

}  // namespace flutter::testing
