// Kept in a file of its own so that the compiler cannot inline the
// replacement operators into their callers. The array forms reach these
// through the library's own definitions; the nothrow form is replaced too,
// since AddressSanitizer brings its own.
#include "tests/support/replaced_new.h"

#include <cstdlib>
#include <new>

namespace lq_test {
size_t g_allocations = 0;
size_t g_allocated_bytes = 0;
size_t g_allocations_left = kNeverFail;
size_t g_failed_allocations = 0;
bool g_fail_once = false;
}  // namespace lq_test

void* operator new(std::size_t size) {
  if (lq_test::g_allocations_left != lq_test::kNeverFail) {
    if (lq_test::g_allocations_left == 0) {
      ++lq_test::g_failed_allocations;
      if (lq_test::g_fail_once) {
        lq_test::g_allocations_left = lq_test::kNeverFail;
      }
      throw std::bad_alloc();
    }
    --lq_test::g_allocations_left;
  }
  ++lq_test::g_allocations;
  lq_test::g_allocated_bytes += size;
  if (void* block = std::malloc(size == 0 ? 1 : size)) {
    return block;
  }
  throw std::bad_alloc();
}

void* operator new(std::size_t size, const std::nothrow_t& /*tag*/) noexcept {
  try {
    return ::operator new(size);
  } catch (...) {
    return nullptr;
  }
}

void operator delete(void* pointer) noexcept { std::free(pointer); }

void operator delete(void* pointer, std::size_t) noexcept {
  std::free(pointer);
}
