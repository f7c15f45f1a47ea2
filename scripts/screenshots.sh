#!/bin/sh
# Makes the documentation's pictures of the window under a virtual X display: docs/first-start.png (the first
# start, no settings file), docs/tree.png (the register tree after a group read against the simulator) and
# docs/search.png (the search dialog after it found three simulated transducers) and docs/monitor.png (the
# window "Ruch na linii" during a group read) and docs/trend.png (a list recording with its trend).
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default: build)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cmake --build "$build" --target velnorex-screenshots velnorex-sim velnorex_definitions
VELNOREX_BIN_DIR="$build/bin" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/tests/velnorex-screenshots" "$root/docs"
