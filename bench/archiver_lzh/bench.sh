#!/usr/bin/env bash
# LZH benchmark: our libunlha32.so side by side with bsdtar (extraction, listing) and jlha
# (lh5 and lh7 compression) on the same generated tree, in one run. Prints ratios.
#   bench/archiver_lzh/bench.sh [WORKDIR] [TREE_MB]
set -euo pipefail
cd "$(dirname "$0")/../.."
SRC=$(pwd)
WORK=${1:-/tmp/koramo-lzh-bench}
TREE_MB=${2:-200}
BUILD=${BENCH_BUILD_DIR:-$SRC/build-release}

for tool in bsdtar jlha /usr/bin/time python3; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

echo "== release build in $BUILD"
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S "$SRC" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$BUILD" --target unlha32 unlha_bench -j 2 >/dev/null
LIB="$BUILD/bin"
DRIVER="$BUILD/bench/archiver_lzh/unlha_bench"

mkdir -p "$WORK"
TREE="$WORK/tree"
if [ ! -d "$TREE" ]; then
  echo "== generating the tree (${TREE_MB} MB)"
  python3 bench/archiver_lzh/make_tree.py "$TREE" "$TREE_MB"
fi
MANY="$WORK/many"
if [ ! -d "$MANY" ]; then
  echo "== generating 10000 small files"
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

TF=$(mktemp)
# measure NAME cmd...: wall seconds and CPU (user+sys) seconds into $WALL and $CPU
measure() {
  /usr/bin/time -f "%e %U %S" -o "$TF" "$@" >/dev/null 2>"$WORK/last.err" || {
    echo "bench: failed: $*" >&2; cat "$WORK/last.err" >&2; exit 1; }
  read -r WALL U S < "$TF"
  CPU=$(python3 -c "print(round($U + $S, 2))")
}
ratio() { python3 -c "print('%.2f' % ($1 / max($2, 0.001)))"; }
rows=()
row() { rows+=("$(printf '%-34s %9s %9s %7s   %9s %9s %7s   %s' "$@")"); }

sync
for m in 5 7; do
  ARC="$WORK/ours-lh$m.lzh"; JARC="$WORK/jlha-lh$m.lzh"
  rm -f "$ARC" "$JARC"
  measure "$DRIVER" run "$LIB" "u -a1 -o$m \"$ARC\" \"$TREE/\" *.*"
  ow=$WALL; oc=$CPU
  measure sh -c "cd '$TREE' && jlha ao${m}q '$JARC' ."
  jw=$WALL; jc=$CPU
  os=$(stat -c %s "$ARC"); js=$(stat -c %s "$JARC")
  row "compress lh$m (jlha / ours)" "$ow" "$jw" "$(ratio $jw $ow)x" "$oc" "$jc" "$(ratio $jc $oc)x" \
      "size ours $os, jlha $js (ours/jlha $(python3 -c "print('%.4f' % ($os/$js))"))"
done

for m in 5 7; do
  ARC="$WORK/ours-lh$m.lzh"
  rm -rf "$WORK/x-ours" "$WORK/x-bsdtar"; mkdir -p "$WORK/x-ours" "$WORK/x-bsdtar"
  sync
  measure "$DRIVER" run "$LIB" "e -d1 -m1 -n \"$ARC\" \"$WORK/x-ours/\""
  ow=$WALL; oc=$CPU
  measure bsdtar -xf "$ARC" -C "$WORK/x-bsdtar"
  bw=$WALL; bc=$CPU
  diff -r "$TREE" "$WORK/x-ours" >/dev/null || { echo "bench: our extraction differs" >&2; exit 1; }
  diff -r "$TREE" "$WORK/x-bsdtar" >/dev/null || { echo "bench: bsdtar extraction differs" >&2; exit 1; }
  row "extract lh$m (bsdtar / ours)" "$ow" "$bw" "$(ratio $bw $ow)x" "$oc" "$bc" "$(ratio $bc $oc)x" "target >= 1x"
done

LIST="$WORK/many.lzh"
rm -f "$LIST"
"$DRIVER" run "$LIB" "u \"$LIST\" \"$MANY/\" *.*"
n=$("$DRIVER" list "$LIB" "$LIST")
best_o=999; best_b=999; best_oc=999; best_bc=999
for i in 1 2 3 4 5; do
  measure "$DRIVER" list "$LIB" "$LIST"
  best_o=$(python3 -c "print(min($best_o, $WALL))"); best_oc=$(python3 -c "print(min($best_oc, $CPU))")
  measure bsdtar -tf "$LIST"
  best_b=$(python3 -c "print(min($best_b, $WALL))"); best_bc=$(python3 -c "print(min($best_bc, $CPU))")
done
row "list $n members (ours / bsdtar)" "$best_o" "$best_b" "$(ratio $best_o $best_b)x" "$best_oc" "$best_bc" "$(ratio $best_oc $best_bc)x" "target <= 1.5x, best of 5"
rm -f "$TF"

echo
echo "tree: $(du -sb "$TREE" | cut -f1) bytes, $(find "$TREE" -type f | wc -l) files; load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-34s %9s %9s %7s   %9s %9s %7s\n' "task" "ours s" "peer s" "ratio" "ours cpu" "peer cpu" "ratio"
for r in "${rows[@]}"; do echo "$r"; done
echo "compress ratio = peer time / our time (target >= 2x, size ours/jlha <= 1)"
