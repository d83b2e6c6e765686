#pragma once

#include <cstdint>

namespace lq_bench {

// Calls of the global operator new so far, which the program linking
// counting_new.cc replaces: a benchmark reads it before and after its loop.
// The benchmarks run on one thread.
extern uint64_t g_allocations;

}  // namespace lq_bench
