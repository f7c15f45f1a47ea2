#!/bin/sh
# Makes docs/tree.png: the window under a virtual X display after a group read against the simulator.
# Usage: scripts/tree_screenshot.sh [BUILD_DIR]   (default: build)
# VELNOREX_SHOT and VELNOREX_SHOT_TEST name another picture and the e2e test that takes it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shot=${VELNOREX_SHOT:-tree}
test=${VELNOREX_SHOT_TEST:-WindowTest.ScreenshotAfterAGroupRead}
cmake --build "$build" --target e2e_tests velnorex-sim velnorex_definitions
VELNOREX_BIN_DIR="$build/bin" VELNOREX_SCREENSHOT="$root/docs/$shot.png" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/tests/e2e_tests" --gtest_filter="$test"
echo "written: $root/docs/$shot.png"
