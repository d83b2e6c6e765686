// Kept in a file of its own so that the compiler cannot inline the
// replacement operators into their callers.
#include "tests/codec/counting_allocator.h"

#include <cstdlib>
#include <new>

namespace flutter::testing {
size_t g_allocated_bytes = 0;
}  // namespace flutter::testing

void* operator new(std::size_t size) {
  flutter::testing::g_allocated_bytes += size;
  if (void* block = std::malloc(size == 0 ? 1 : size)) {
    return block;
  }
  throw std::bad_alloc();
}

void operator delete(void* pointer) noexcept { std::free(pointer); }

void operator delete(void* pointer, std::size_t) noexcept {
  std::free(pointer);
}
