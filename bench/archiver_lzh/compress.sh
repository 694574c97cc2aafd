#!/usr/bin/env bash
# LZH compression against `jlha a`, lh5 and lh7, on the 200 MB bench tree and on 10,000 small
# files, in one run: our libunlha32.so (through unlha_bench, as the program calls it) and jlha
# take turns on the same input, RUNS rounds each. Prints the median wall times, the speed ratio
# (jlha time / ours), the size ratio (ours / jlha) and the machine's load beside every row.
# Ours runs without -a1, so that both store the same: names, times and contents.
# Each of our archives is extracted by lhasa and by jlha and compared with the input.
#   BUILD_DIR=build bench/archiver_lzh/compress.sh [WORKDIR] [TREE_MB]
# Build first: /work/bin/kbuild BUILD_DIR unlha32 unlha_bench (any build of those targets).
set -euo pipefail
cd "$(dirname "$0")/../.."
WORK=${1:-/tmp/koramo-lzh-compress}
TREE_MB=${2:-200}
RUNS=${RUNS:-3}
BUILD=$(realpath "${BUILD_DIR:-build}")
LIB="$BUILD/bin"
DRIVER="$BUILD/bench/archiver_lzh/unlha_bench"
for tool in jlha lhasa python3 "$DRIVER"; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing" >&2; exit 1; }
done
[ -f "$LIB/libunlha32.so" ] || { echo "bench: $LIB/libunlha32.so is missing" >&2; exit 1; }

mkdir -p "$WORK"
TREE="$WORK/tree"
[ -d "$TREE" ] || python3 bench/archiver_lzh/make_tree.py "$TREE" "$TREE_MB" >/dev/null
MANY="$WORK/many"
if [ ! -d "$MANY" ]; then
  python3 - "$MANY" <<'PY'
import os, sys, random
rng = random.Random(7)
for i in range(10000):
    d = os.path.join(sys.argv[1], "f%03d" % (i % 100))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "m%05d.txt" % i), "w") as f:
        f.write("member %d " % i * rng.randrange(1, 20))
PY
fi

load() { cut -d' ' -f1-3 /proc/loadavg; }
now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {printf "%d", a[int((NR+1)/2)]}'; }
rows=()
for set in tree many; do
  in="$WORK/$set"
  for m in 5 7; do
    ours="$WORK/ours-$set-lh$m.lzh"; theirs="$WORK/jlha-$set-lh$m.lzh"
    ot=(); jt=(); loads=()
    for r in $(seq 1 "$RUNS"); do
      loads+=("$(load)")
      # Alternate who goes first so that neither always meets a warm or a cold cache.
      for who in $( ((r % 2)) && echo "ours jlha" || echo "jlha ours"); do
        if [ "$who" = ours ]; then
          rm -f "$ours"; s=$(now)
          "$DRIVER" run "$LIB" "u -n -o$m \"$ours\" \"$in/\" *.*" >/dev/null
          ot+=($(( ($(now) - s) / 1000000 )))
        else
          rm -f "$theirs"; s=$(now)
          (cd "$in" && jlha ao${m}q "$theirs" . >/dev/null)
          jt+=($(( ($(now) - s) / 1000000 )))
        fi
      done
    done
    o=$(printf '%s\n' "${ot[@]}" | median); j=$(printf '%s\n' "${jt[@]}" | median)
    os=$(stat -c %s "$ours"); js=$(stat -c %s "$theirs")
    ok=ok
    for reader in lhasa jlha; do
      rm -rf "$WORK/check"; mkdir -p "$WORK/check"
      if [ $reader = lhasa ]; then (cd "$WORK/check" && lhasa xqf "$ours"); else (cd "$WORK/check" && jlha xq "$ours" >/dev/null); fi
      diff -r "$in" "$WORK/check" >/dev/null || ok="DIFFERS($reader)"
    done
    # With -a1 (as the program compresses) each member also keeps its permissions, which jlha
    # does not store: five bytes more a member. Its size is shown beside, untimed.
    a1="$WORK/ours-a1.lzh"; rm -f "$a1"
    "$DRIVER" run "$LIB" "u -a1 -n -o$m \"$a1\" \"$in/\" *.*" >/dev/null
    a1s=$(awk -v a="$(stat -c %s "$a1")" -v b="$js" 'BEGIN{printf "%.4f", a/b}')
    rows+=("$(printf '%-5s lh%s  ours %6d ms  jlha %6d ms  speed %5.2fx  size %10d / %10d = %.4f  (-a1 %s)  read %-5s load %s' \
      "$set" "$m" "$o" "$j" "$(awk -v a="$o" -v b="$j" 'BEGIN{print b/a}')" "$os" "$js" \
      "$(awk -v a="$os" -v b="$js" 'BEGIN{print a/b}')" "$a1s" "$ok" "${loads[*]}")")
    echo "${rows[-1]}"
  done
done
echo
echo "runs $RUNS (medians); speed = jlha time / our time (target >= 2.5x), size = ours / jlha (target <= 0.99); load after: $(load)"
