// The invariants the harnesses check. A broken one prints what broke and aborts: libFuzzer then keeps the
// input as a crash, and the corpus replay test fails on the file that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace velnorex::fuzz {

[[noreturn]] inline void InvariantBroken(const char* file, int line, const char* condition) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
  std::fflush(stderr);
  std::abort();
}

}  // namespace velnorex::fuzz

#define VELNOREX_FUZZ_CHECK(condition) \
  ((condition) ? (void)0 : ::velnorex::fuzz::InvariantBroken(__FILE__, __LINE__, #condition))
