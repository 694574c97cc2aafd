#!/usr/bin/env bash
# Fails when a test sleeps for a fixed time without saying why. A test waits for what it needs
# (QTRY_*, QSignalSpy::wait, a condition polled with a timeout); where a fixed pause is the point
# (a clock that must tick, a window that must stay away for a while, a delay at random), a
# comment on the same line or on one of the two lines above (a loop's head between) says so.
# Usage: fixed_sleeps.sh TESTS_FOLDER
# Exit status: 0 every fixed sleep has its reason, 1 otherwise (each one is named).
set -uo pipefail

tests_dir=${1:?usage: fixed_sleeps.sh TESTS_FOLDER}
# C++: QTest::qWait, QThread::sleep/msleep/usleep, std::this_thread::sleep_for/_until, sleep,
# usleep, nanosleep. Shell and Python: sleep N, time.sleep.
cpp_calls='(qWait|QThread::(u|m)?sleep|sleep_for|sleep_until|(^|[^_[:alnum:]:.])(u|nano)?sleep)[[:space:]]*\('
script_calls='(^|[;&|[:space:]])sleep[[:space:]]+[0-9.]|time\.sleep[[:space:]]*\('

faults=0
check() { # FILE REGEX COMMENT_MARK
    awk -v re="$2" -v mark="$3" -v file="$1" '
        function commented(line) { return index(line, mark) > 0 }
        {
            code = $0
            if (mark == "//") sub(/\/\/.*/, "", code); else sub(/#.*/, "", code)
            above = "^[[:space:]]*" mark
            if (code ~ re && !commented($0) && !(prev ~ above) && !(prev2 ~ above)) {
                printf "%s:%d: a fixed sleep without a comment that says why: %s\n", file, NR, $0
                bad = 1
            }
            if ($0 !~ /^[[:space:]]*$/) { prev2 = prev; prev = $0 }
        }
        END { exit bad }' "$1" || faults=1
}

while IFS= read -r -d '' file; do
    case "$file" in
    *.cpp | *.h | *.c) check "$file" "$cpp_calls" "//" ;;
    *.sh | *.py) check "$file" "$script_calls" "#" ;;
    esac
done < <(find "$tests_dir" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' -o -name '*.sh' \
    -o -name '*.py' \) -not -path '*/fuzz/corpus/*' -not -path '*/fuzz/regressions/*' -print0)

if [ "$faults" -ne 0 ]; then
    echo "fixed_sleeps: wait for a condition instead, or say in a comment why the pause is fixed"
    exit 1
fi
echo "fixed_sleeps: every fixed sleep in the tests says why"
