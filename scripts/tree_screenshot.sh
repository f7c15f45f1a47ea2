#!/bin/sh
# Makes docs/tree.png: the window under a virtual X display after a group read against the simulator.
# Usage: scripts/tree_screenshot.sh [BUILD_DIR]   (default: build)
exec "$(dirname "$0")/screenshot.sh" tree "$@"
