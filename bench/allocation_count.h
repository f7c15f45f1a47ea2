// Every allocation of a benchmark's process through operator new is counted (C's malloc, as in libmodbus,
// is not): a transaction must make none, read off around its loop. Link allocation_count.cpp in once.
#pragma once

#include <atomic>
#include <cstdint>

namespace velnorex::bench {

extern std::atomic<uint64_t> gAllocations;

}  // namespace velnorex::bench
