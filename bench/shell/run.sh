#!/usr/bin/env bash
# Copying a ~200 MB tree of mixed files: コラモ's shell (release build, as the program calls
# it, progress window offscreen) against `cp -r`, same tree, same file system, alternating,
# RUNS times each; prints medians and the ratio. Target: at most 1.2x cp -r.
set -euo pipefail
cd "$(dirname "$0")/../.."
RUNS=${RUNS:-5}
BUILD_DIR=${BUILD_DIR:-build-release}
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$BUILD_DIR" --target shell_copy -j2 >/dev/null
helper=$(realpath "$BUILD_DIR/bench/shell_copy")

work=$(mktemp -d "${BENCH_DIR:-/tmp}/koramo-copy-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
python3 - "$work/tree" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(4)
def put(path, size):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(rng.randbytes(size))
for i in range(10):                      # large: 10 x 8 MiB
    put(f"{root}/media/video{i}.bin", 8 << 20)
for i in range(100):                     # medium: 100 x 512 KiB
    put(f"{root}/photos/{i // 25}/img{i}.jpg", 512 << 10)
for i in range(2000):                    # small: 2000 x 28 KiB
    put(f"{root}/docs/{i // 100}/{i // 10 % 10}/doc{i}.txt", 28 << 10)
for i in range(3000):                    # tiny: 3000 x 0..4 KiB
    put(f"{root}/src/{i // 200}/file{i}.c", rng.randrange(0, 4096))
PY
size=$(du -sm "$work/tree" | cut -f1); files=$(find "$work/tree" -type f | wc -l)
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$work/runtime"

ms() { local t0 t1; t0=$(date +%s%N); "$@"; t1=$(date +%s%N); echo $(( (t1 - t0) / 1000000 )); }
ours=(); peer=()
for i in $(seq 0 "$RUNS"); do          # run 0 warms the cache and is not counted
  rm -rf "$work/a" "$work/b"; mkdir "$work/a" "$work/b"; sync
  p=$(ms cp -r "$work/tree" "$work/a/"); sync
  o=$(ms "$helper" "$work/tree" "$work/b")
  diff -r "$work/tree" "$work/b/tree" >/dev/null || { echo "copy differs from the source" >&2; exit 1; }
  if [ "$i" -gt 0 ]; then ours+=("$o"); peer+=("$p"); fi
  sync
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
mo=$(median "${ours[@]}"); mp=$(median "${peer[@]}")
echo "copy of a ${size} MB tree ($files files), median of $RUNS runs (ms)"
echo "  koramo shell  $mo   (all: ${ours[*]})"
echo "  cp -r         $mp   (all: ${peer[*]})"
awk -v a="$mo" -v b="$mp" 'BEGIN { printf "  ratio koramo/cp = %.2f (target <= 1.20)\n", a / b }'
