#!/usr/bin/env bash
# Text preview of a 50 MB log file: the time from loadFile to the text painted in the preview's
# text box, against `cat FILE > /dev/null` of the same file (both from a warm file cache), and
# the memory the load adds (max RSS after minus before) against the file's size.
# Targets: under one second; added memory under 4x the file size.
set -euo pipefail
cd "$(dirname "$0")/../.."
RUNS=${RUNS:-5}
SIZE_MB=${SIZE_MB:-50}
BUILD_DIR=${BUILD_DIR:-build-release}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$BUILD_DIR" --target preview_text_bench -j2 >/dev/null
bench=$(realpath "$BUILD_DIR/bench/preview_text_bench")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log=$work/server.log
# A server log: mostly ASCII, every tenth line with Japanese UTF-8 text, CRLF line ends.
awk -v limit=$((SIZE_MB * 1024 * 1024)) 'BEGIN {
  n = 0; i = 0
  while (n < limit) {
    if (i % 10 == 0)
      line = sprintf("2026-12-08 %02d:%02d:%02d.%03d WARN [worker-%d] 要求 %d の処理に %d ms かかりました\r", i / 3600 % 24, i / 60 % 60, i % 60, i % 1000, i % 8, i, (i * 7919) % 1000)
    else
      line = sprintf("2026-12-08 %02d:%02d:%02d.%03d INFO [worker-%d] request %d handled in %d ms status=200 path=/api/v1/items/%d\r", i / 3600 % 24, i / 60 % 60, i % 60, i % 1000, i % 8, i, (i * 7919) % 1000, i * 31)
    print line
    n += length(line) + 1; i++
  }
}' LC_ALL=C > "$log"
bytes=$(stat -c %s "$log")
cat "$log" > /dev/null # warm the cache

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
ours=(); peer=(); added=()
for i in $(seq 1 "$RUNS"); do
  read -r ms before after < <(QT_QPA_PLATFORM=offscreen "$bench" "$log" 2>/dev/null)
  ours+=("$ms"); added+=($((after - before)))
  start=$(date +%s%N); cat "$log" > /dev/null; end=$(date +%s%N)
  peer+=($(( (end - start) / 1000000 )))
done
mo=$(median "${ours[@]}"); mp=$(median "${peer[@]}"); ma=$(median "${added[@]}")
echo "text preview of a $((bytes / 1048576)) MiB log ($bytes bytes), median of $RUNS runs"
echo "  koramo loadFile to text painted  ${mo} ms   (all: ${ours[*]})"
echo "  cat FILE > /dev/null             ${mp} ms   (all: ${peer[*]})"
awk -v a="$mo" -v b="$mp" 'BEGIN { printf "  ratio koramo/cat = %.1f; target: koramo under 1000 ms\n", a / (b > 0 ? b : 1) }'
awk -v a="$ma" -v s="$bytes" 'BEGIN { printf "  added max RSS %.0f MiB = %.2fx the file size (target < 4x)\n", a / 1024, a * 1024 / s }'
