#!/usr/bin/env bash
# Fails on a bare qWait( in the tests: a fixed sleep is either too short on a loaded machine or
# wastes time on a fast one. Wait for the condition itself with QTRY_VERIFY / QTRY_COMPARE
# (or QTest::qWaitFor with a condition).
# Usage: qwait_check.sh TESTS_FOLDER
set -uo pipefail
tests_dir=${1:?usage: qwait_check.sh TESTS_FOLDER}
if [ ! -d "$tests_dir" ]; then
    echo "qwait_check: no folder $tests_dir"
    exit 1
fi
hits=$(grep -rnE --include='*.cpp' --include='*.h' --include='*.c' '\bqWait[[:space:]]*\(' "$tests_dir")
if [ -n "$hits" ]; then
    echo "qwait_check: bare qWait( found; wait with QTRY_* for the condition instead:"
    echo "$hits"
    exit 1
fi
echo "qwait_check: no bare qWait( under $tests_dir"
