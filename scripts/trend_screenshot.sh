#!/bin/sh
# Makes docs/trend.png: the window under a virtual X display during a list recording against the simulator,
# whose registers drift.
# Usage: scripts/trend_screenshot.sh [BUILD_DIR]   (default: build)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cmake --build "$build" --target e2e_tests velnorex-sim velnorex_definitions
VELNOREX_BIN_DIR="$build/bin" VELNOREX_SCREENSHOT="$root/docs/trend.png" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/tests/e2e_tests" --gtest_filter='ListRecordingTest.ScreenshotOfATrendDuringARecording'
echo "written: $root/docs/trend.png"
