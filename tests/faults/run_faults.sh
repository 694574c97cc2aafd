#!/usr/bin/env bash
# Runs the fault-injection tests of a build folder and shows every check's outcome: a small
# tmpfs that fills up during a copy, a move, an extraction with each archiver library and an
# LZH update; sources that vanish; read-only places (run as user 65534); kill -9 during
# settings saves. Mounting needs root; without it those tests say they were skipped.
# Usage: tests/faults/run_faults.sh [BUILD_FOLDER]
set -euo pipefail
build=${1:-build}
if [ "$(id -u)" -ne 0 ]; then
    echo "run_faults: not root, so the tests that mount a small tmpfs will be skipped"
fi
cd "$build"
ctest -L faults --output-on-failure -V | grep -E '^[0-9]+: \[ *(OK|FAILED|SKIPPED) *\]|skipped|writer got|tests passed'
