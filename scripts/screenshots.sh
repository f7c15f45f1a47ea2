#!/bin/sh
# Makes the pictures of the README under a virtual X display, against the simulator: docs/tree.png (the window
# after a group read) and docs/search.png (the search dialog after it found three transducers).
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default: build)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cmake --build "$build" --target e2e_tests velnorex-sim velnorex_definitions
VELNOREX_BIN_DIR="$build/bin" QT_QPA_PLATFORM=xcb \
  VELNOREX_SCREENSHOT="$root/docs/tree.png" VELNOREX_SEARCH_SCREENSHOT="$root/docs/search.png" \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tests/e2e_tests" \
  --gtest_filter='WindowTest.ScreenshotAfterAGroupRead:SearchTest.ScreenshotOfTheDialogWithResults'
echo "written: $root/docs/tree.png $root/docs/search.png"
