#!/usr/bin/env bash
# Find next in the preview: a word that occurs only at the end of a 50 MB text (a server log,
# Japanese on every tenth line), searched from the start of the text shown in the preview's text
# box, against `grep -c` of the same word in the same file (warm file cache), in one run. The
# search with upper and lower case alike is set against `grep -ic`, the one with case matched
# against `grep -c`. Target: at most 2x grep's time.
set -euo pipefail
cd "$(dirname "$0")/../.."
SIZE_MB=${SIZE_MB:-50}
BUILD_DIR=${BUILD_DIR:-build-release}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$BUILD_DIR" --target preview_search_bench -j2 >/dev/null
bench=$(realpath "$BUILD_DIR/bench/preview_search_bench")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log=$work/server.log
word=Zanzibarquux
LC_ALL=C awk -v limit=$((SIZE_MB * 1024 * 1024)) -v word="$word" 'BEGIN {
  n = 0; i = 0
  while (n < limit) {
    if (i % 10 == 0)
      line = sprintf("2026-12-08 %02d:%02d:%02d WARN [worker-%d] 要求 %d の処理に %d ms かかりました", i / 3600 % 24, i / 60 % 60, i % 60, i % 8, i, (i * 7919) % 1000)
    else
      line = sprintf("2026-12-08 %02d:%02d:%02d INFO [worker-%d] request %d handled in %d ms status=200 path=/api/v1/items/%d", i / 3600 % 24, i / 60 % 60, i % 60, i % 8, i, (i * 7919) % 1000, i * 31)
    print line
    n += length(line) + 1; i++
  }
  print "the end of the log: " word
}' > "$log"
bytes=$(stat -c %s "$log")
cat "$log" > /dev/null # warm the cache

ms() { local s e; s=$(date +%s%N); "$@" > /dev/null; e=$(date +%s%N); echo $(( (e - s) / 1000000 )); }
read -r folded exact position < <(QT_QPA_PLATFORM=offscreen "$bench" "$log" "$word" 2>/dev/null)
grep_c=$(ms grep -c "$word" "$log")
grep_ic=$(ms grep -ic "$word" "$log")
[ "$(grep -c "$word" "$log")" = 1 ] || { echo "the word must occur once" >&2; exit 1; }
echo "find next of a word at the end of a $((bytes / 1048576)) MiB text ($bytes bytes), found at $position"
echo "  koramo, upper and lower case alike  ${folded} ms    grep -ic  ${grep_ic} ms"
echo "  koramo, case matched                ${exact} ms    grep -c   ${grep_c} ms"
awk -v a="$folded" -v b="$grep_ic" -v c="$exact" -v d="$grep_c" 'BEGIN {
  printf "  ratios: %.2f (against grep -ic), %.2f (against grep -c); target: at most 2\n",
         a / (b > 0 ? b : 1), c / (d > 0 ? d : 1) }'
