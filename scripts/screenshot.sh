#!/bin/sh
# Makes a picture for the README under a virtual X display against the simulator:
#   tree     docs/tree.png, the window after a group read
#   monitor  docs/monitor.png, the window "Ruch na linii" during a group read
# Usage: scripts/screenshot.sh tree|monitor [BUILD_DIR]   (default: build)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
case "${1:-}" in
  tree) variable=VELNOREX_SCREENSHOT test=WindowTest.ScreenshotAfterAGroupRead ;;
  monitor) variable=VELNOREX_MONITOR_SCREENSHOT test=WindowTest.MonitorScreenshotDuringAGroupRead ;;
  *) echo "usage: $0 tree|monitor [BUILD_DIR]" >&2; exit 2 ;;
esac
picture="$root/docs/$1.png"
build=${2:-$root/build}
cmake --build "$build" --target e2e_tests velnorex-sim velnorex_definitions
env VELNOREX_BIN_DIR="$build/bin" "$variable=$picture" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tests/e2e_tests" --gtest_filter="$test"
echo "written: $picture"
