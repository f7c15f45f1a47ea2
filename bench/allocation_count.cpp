// The process's operator new, counting.
#include "bench/allocation_count.h"

#include <cstdlib>
#include <new>

namespace velnorex::bench {

std::atomic<uint64_t> gAllocations{0};

}  // namespace velnorex::bench

void* operator new(std::size_t size) {
  ++velnorex::bench::gAllocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
