// Root may read and write anything, so a test of what an ordinary user may not do runs again as "nobody" in a
// child process when the tests run as root (as CI does).
#pragma once

#include <unistd.h>

#include <gtest/gtest.h>
#include <QStringList>

namespace velnorex::test {

// Runs the current test again as "nobody": the test program, and the named files of the bin folder, are
// copied into a fresh folder that "nobody" can enter wherever the checkout lies (CI's clone, or a build in
// root's home, may sit in a folder it cannot), and the child finds those copies through VELNOREX_BIN_DIR.
// Records a failure when the child fails, and a missing tool as VELNOREX_MISSING does.
void RunCurrentTestAsNobody(const QStringList& binFiles = {});

}  // namespace velnorex::test

// At the top of such a test: as root, the test runs as "nobody" and ends here.
#define VELNOREX_AS_NOBODY_WHEN_ROOT(...)                                 \
  do {                                                                    \
    if (::geteuid() == 0) {                                               \
      ::velnorex::test::RunCurrentTestAsNobody(QStringList{__VA_ARGS__}); \
      return;                                                             \
    }                                                                     \
  } while (0)
