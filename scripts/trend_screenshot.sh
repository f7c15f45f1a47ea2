#!/bin/sh
# Makes docs/trend.png: the window under a virtual X display during a list recording against the simulator,
# whose registers drift.
# Usage: scripts/trend_screenshot.sh [BUILD_DIR]   (default: build)
VELNOREX_SHOT=trend VELNOREX_SHOT_TEST=ListRecordingTest.ScreenshotOfATrendDuringARecording \
  exec "$(dirname "$0")/tree_screenshot.sh" "$@"
