// Where tests find the built program, its tools and the sources: the environment when it says, else the
// folders of the build that made the test program.
#pragma once

#include <cstdlib>

namespace velnorex::test {

// Sets VELNOREX_BIN_DIR and VELNOREX_SOURCE_DIR unless they are set already; every test main calls it first.
inline void SetDefaultEnvironment() {
  setenv("VELNOREX_BIN_DIR", VELNOREX_DEFAULT_BIN_DIR, 0);
  setenv("VELNOREX_SOURCE_DIR", VELNOREX_DEFAULT_SOURCE_DIR, 0);
}

}  // namespace velnorex::test
