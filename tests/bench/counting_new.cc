// Kept in a file of its own so that the compiler cannot inline the
// replacement operators into their callers. The array and nothrow forms
// reach these through the library's own definitions.
#include "tests/bench/counting_new.h"

#include <cstdlib>
#include <new>

namespace lq_bench {
uint64_t g_allocations = 0;
}  // namespace lq_bench

void* operator new(std::size_t size) {
  ++lq_bench::g_allocations;
  if (void* block = std::malloc(size == 0 ? 1 : size)) {
    return block;
  }
  throw std::bad_alloc();
}

void operator delete(void* pointer) noexcept { std::free(pointer); }

void operator delete(void* pointer, std::size_t) noexcept {
  std::free(pointer);
}
