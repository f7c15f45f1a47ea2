#!/bin/sh
# Makes docs/search.png: the search dialog under a virtual X display after it found three simulated
# transducers.
# Usage: scripts/search_screenshot.sh [BUILD_DIR]   (default: build)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cmake --build "$build" --target e2e_tests velnorex-sim velnorex_definitions
VELNOREX_BIN_DIR="$build/bin" VELNOREX_SEARCH_SCREENSHOT="$root/docs/search.png" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/tests/e2e_tests" --gtest_filter='SearchTest.ScreenshotOfTheDialogWithResults'
echo "written: $root/docs/search.png"
