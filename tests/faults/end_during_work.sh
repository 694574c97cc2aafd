#!/usr/bin/env bash
# Asks the program to end (SIGTERM, as at logout) while it copies a large file and while it
# extracts a large archive: each time it must cancel the work, wait for it and exit with 0,
# leaving no file under the copy's final name.
#   end_during_work.sh DRIVER PROGRAM_FOLDER
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
driver=$1
bin=$2
command -v xvfb-run >/dev/null || fail "xvfb-run is missing"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/prog" "$work/src" "$work/dst" "$work/arc"
cp "$driver" "$work/prog/"
cp "$bin"/lib*32.so "$work/prog/" 2>/dev/null || true
head -c 805306368 /dev/urandom > "$work/src/big file.bin"
python3 - "$work/arc/big.zip" <<'PY'
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_STORED) as z:
    for i in range(8):
        z.writestr("member%d.bin" % i, os.urandom(64 << 20))
PY

# Runs the driver under a virtual display, sends SIGTERM once `ready` succeeds, and gives the
# program's exit code.
run() {
  local ready=$1; shift
  WORK="$work" READY="$ready" xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -u
    env -u QT_QPA_PLATFORM "$@" 2>"$WORK/driver.log" &
    pid=$!
    for i in $(seq 1 600); do
      if eval "$READY"; then break; fi
      sleep 0.05 # polls for the work to start, up to 30 s
    done
    eval "$READY" || { echo "the work never started"; cat "$WORK/driver.log"; kill -9 $pid; exit 99; }
    kill -TERM $pid
    wait $pid
  ' _ "$@"
}

started_copy='[ -n "$(find "$WORK/dst" -type f -size +1k 2>/dev/null)" ]'
code=0
run "$started_copy" "$work/prog/end_during_work" copy "$work/src" "big file.bin" "$work/dst" || code=$?
cat "$work/driver.log" >&2
[ "$code" = 0 ] || fail "ended during a copy with exit code $code"
[ ! -e "$work/dst/big file.bin" ] || fail "a file is under the copy's final name"
[ -z "$(ls -A "$work/dst")" ] || fail "the cancelled copy left $(ls -A "$work/dst")"
[ "$(stat -c %s "$work/src/big file.bin")" = 805306368 ] || fail "the source changed"
echo "PASS: ended during a copy: exit 0, nothing left under the final name"

# The extraction has begun once anything but the archive grows, wherever the archiver stages it.
started_extract='[ -n "$(find "$WORK/arc" "$WORK/prog" -type f ! -name big.zip ! -name "*.so" ! -name "end_during_work" ! -name exp.ini -size +1k 2>/dev/null)" ]'
code=0
run "$started_extract" "$work/prog/end_during_work" extract "$work/arc" big.zip || code=$?
cat "$work/driver.log" >&2
[ "$code" = 0 ] || fail "ended during an extraction with exit code $code"
echo "PASS: ended during an extraction: exit 0"
