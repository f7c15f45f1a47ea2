// Where tests find the built program, its tools and the sources: the environment when it says, else the
// folders of the build that made the test program.
#pragma once

#include <cstdlib>
#include <string_view>

namespace velnorex::test {

#ifdef VELNOREX_DEFAULT_BIN_DIR
// Sets VELNOREX_BIN_DIR and VELNOREX_SOURCE_DIR unless they are set already; every test main calls it first.
// (The folders are known to the support libraries only.)
inline void SetDefaultEnvironment() {
  setenv("VELNOREX_BIN_DIR", VELNOREX_DEFAULT_BIN_DIR, 0);
  setenv("VELNOREX_SOURCE_DIR", VELNOREX_DEFAULT_SOURCE_DIR, 0);
}
#endif

// CI installs every peer and tool the tests use: there a missing one is a failure, not a reason to skip.
inline bool RunningUnderCi() {
  const char* ci = std::getenv("CI");
  return ci && std::string_view(ci) == "true";
}

}  // namespace velnorex::test

// Ends a test whose peer or tool is missing: skipped on a developer's machine, failed under CI=true.
#define VELNOREX_MISSING(reason)                \
  do {                                          \
    if (::velnorex::test::RunningUnderCi()) {   \
      FAIL() << "missing under CI: " << reason; \
    } else {                                    \
      GTEST_SKIP() << reason;                   \
    }                                           \
  } while (0)
