#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour sanitizers) in a
# folder outside the source tree and runs each for the given number of seconds, two at a time
# at low priority. Each run starts from a copy of the target's seed corpus and regressions;
# what it finds (crash-*, leak-*, timeout-*, oom-*) lands in <build>/runs/<target>/.
#
#   tests/fuzz/run-all.sh [seconds] [target ...]     (default: 600 seconds, every target)
#
# KORAMO_FUZZ_BUILD sets the build folder (default /tmp/koramo-fuzzbuild), KORAMO_FUZZ_JOBS
# how many run at once (default 2). Exits non-zero when any run found something.
set -euo pipefail

seconds=${1:-600}
shift || true
here=$(cd "$(dirname "$0")" && pwd)
build=${KORAMO_FUZZ_BUILD:-/tmp/koramo-fuzzbuild}
jobs=${KORAMO_FUZZ_JOBS:-2}
all=(fuzz_lzh_header fuzz_lzh_decoder fuzz_command_line fuzz_exp_ini fuzz_rtf_reader fuzz_id3
     fuzz_mci_command fuzz_text_encoding fuzz_zip_cab_listing fuzz_unarc)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache
                                         -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    "${launcher[@]}" >/dev/null
nice -n 10 cmake --build "$build" -j "$jobs" --target "${targets[@]}"

# The settings file target writes its files here; memory is faster than a disk.
if [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export QT_QPA_PLATFORM=offscreen

run() {
    local t=$1 dir="$build/runs/$1"
    rm -rf "$dir"
    mkdir -p "$dir/corpus"
    for kind in corpus regressions; do
        if [ -d "$here/$kind/$t" ]; then
            find "$here/$kind/$t" -type f ! -name '.*' -exec cp {} "$dir/corpus/" \;
        fi
    done
    echo "$(date -u +%H:%M:%S) $t: running for $seconds s"
    nice -n 10 "$build/$t" -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=30 \
        -print_final_stats=1 -artifact_prefix="$dir/" "$dir/corpus" >"$dir/log" 2>&1 || true
    echo "$(date -u +%H:%M:%S) $t: $(grep -Eo 'Done [0-9]+ runs in [0-9]+ second\(s\)' \
        "$dir/log" || echo 'stopped early, see '"$dir/log")"
}

for t in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
    run "$t" &
done
wait

found=0
for t in "${targets[@]}"; do
    for f in "$build/runs/$t"/crash-* "$build/runs/$t"/leak-* "$build/runs/$t"/timeout-* \
             "$build/runs/$t"/oom-*; do
        [ -e "$f" ] || continue
        echo "found: $f"
        found=1
    done
done
exit $found
