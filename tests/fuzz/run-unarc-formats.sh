#!/usr/bin/env bash
# Fuzzes libunarc32.so one reader at a time: fuzz_unarc runs once per seed folder of
# corpus/fuzz_unarc (7z, rar, tar, iso), each run starting from that folder and the target's
# regressions, one after another, each for the given number of seconds. The runs go through
# /work/bin/kslot when it is there (one of the machine's two slots for heavy jobs) at low
# priority. What a run finds lands in <build>/runs/fuzz_unarc-<format>/.
#
#   tests/fuzz/run-unarc-formats.sh [seconds] [format ...]   (default: 600 seconds, all four)
#
# KORAMO_FUZZ_BUILD is the clang build folder of tests/fuzz (default /tmp/koramo-fuzzbuild),
# built first (not with KORAMO_FUZZ_SKIP_BUILD=1). Exits non-zero when any run found something.
set -euo pipefail
seconds=${1:-600}
shift || true
here=$(cd "$(dirname "$0")" && pwd)
build=${KORAMO_FUZZ_BUILD:-/tmp/koramo-fuzzbuild}
formats=("$@")
[ ${#formats[@]} -gt 0 ] || formats=(7z rar tar iso)
slot=()
[ -x /work/bin/kslot ] && slot=(/work/bin/kslot)

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      >/dev/null
fi
[ -n "${KORAMO_FUZZ_SKIP_BUILD:-}" ] ||
  "${slot[@]}" nice -n 10 cmake --build "$build" -j1 --target fuzz_unarc

if [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export QT_QPA_PLATFORM=offscreen
# A 7z directory is checked before libarchive reads it, so that no count or size it declares
# makes libarchive ask for more than the file could hold: a single request above the memory
# limit (4 GiB, more than any dictionary a 7z coder may declare) is a finding. A smaller request
# that fails fails as it would in the program.
export ASAN_OPTIONS=${ASAN_OPTIONS:-allocator_may_return_null=1}
found=0
for f in "${formats[@]}"; do
  dir="$build/runs/fuzz_unarc-$f"
  rm -rf "$dir"
  mkdir -p "$dir/corpus"
  cp "$here/corpus/fuzz_unarc/$f"/* "$dir/corpus/"
  cp "$here/regressions/fuzz_unarc"/* "$dir/corpus/" 2>/dev/null || true
  seeds=$(ls "$dir/corpus" | wc -l)
  echo "$(date -u +%H:%M:%S) $f: $seeds seeds, $seconds s; load $(cut -d' ' -f1-3 /proc/loadavg)"
  "${slot[@]}" nice -n 10 "$build/fuzz_unarc" -max_total_time="$seconds" -rss_limit_mb=4096 -malloc_limit_mb=4096 \
      -timeout=30 -max_len=131072 -print_final_stats=1 -artifact_prefix="$dir/" \
      "$dir/corpus" >"$dir/log" 2>&1 || true
  last=$(grep -E '^#[0-9]+' "$dir/log" | tail -1 || true)
  echo "$(date -u +%H:%M:%S) $f: $(grep -Eo 'Done [0-9]+ runs in [0-9]+ second\(s\)' "$dir/log" \
      || echo "stopped early, see $dir/log")"
  echo "  last status: $last"
  echo "  corpus now: $(ls "$dir/corpus" | wc -l) inputs"
  for a in "$dir"/crash-* "$dir"/leak-* "$dir"/timeout-* "$dir"/oom-* "$dir"/slow-unit-*; do
    [ -e "$a" ] || continue
    echo "  found: $a"
    found=1
  done
done
exit $found
