// Kept in a file of its own so that the compiler cannot inline the
// replacement operators into their callers.
#include "tests/messaging/failing_allocator.h"

#include <cstdlib>
#include <new>

namespace flutter::testing {
size_t g_allocations_left = kNeverFail;
size_t g_failed_allocations = 0;
}  // namespace flutter::testing

void* operator new(std::size_t size) {
  using flutter::testing::g_allocations_left;
  if (g_allocations_left != flutter::testing::kNeverFail) {
    if (g_allocations_left == 0) {
      ++flutter::testing::g_failed_allocations;
      throw std::bad_alloc();
    }
    --g_allocations_left;
  }
  if (void* block = std::malloc(size == 0 ? 1 : size)) {
    return block;
  }
  throw std::bad_alloc();
}

void operator delete(void* pointer) noexcept { std::free(pointer); }

void operator delete(void* pointer, std::size_t) noexcept {
  std::free(pointer);
}
