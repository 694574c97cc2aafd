#!/usr/bin/env bash
# ZIP extraction against bsdtar and CAB extraction against cabextract, side by side in one
# run on a generated tree of about 200 MB of mixed compressible and incompressible files.
# Usage: bench/archiver_zipcab/bench.sh [BUILD_DIR]   (a release build: -DCMAKE_BUILD_TYPE=Release)
set -euo pipefail

BUILD="${1:-build-release}"
BIN="$(cd "$BUILD/bin" && pwd)"
RUN="$(cd "$BUILD/bench" && pwd)/run_archiver"
ROUNDS="${ROUNDS:-3}"
WORK="$(mktemp -d "${TMPDIR:-/tmp}/koramo-bench-zipcab.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT

for tool in bsdtar cabextract zip python3; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

echo "generating the tree in $WORK/tree ..."
python3 - "$WORK/tree" <<'PY'
import os, random, sys
root = sys.argv[1]
rnd = random.Random(1)
words = [bytes(rnd.choice(b'abcdefghijklmnopqrstuvwxyz') for _ in range(rnd.randint(2, 10)))
         for _ in range(5000)]
total = 0
n = 0
while total < 200 * 1024 * 1024:
    folder = os.path.join(root, 'd%02d' % (n % 40), 's%d' % (n % 7))
    os.makedirs(folder, exist_ok=True)
    kind = n % 4
    size = rnd.choice([2000, 20000, 200000, 1500000, 6000000])
    if kind == 0:   # incompressible
        data = os.urandom(size)
    elif kind == 1:  # text
        out = []
        length = 0
        while length < size:
            w = rnd.choice(words)
            out.append(w)
            length += len(w) + 1
        data = b' '.join(out)[:size]
    elif kind == 2:  # log-like lines
        data = b''.join(b'%08d INFO request %d served in %d ms\n' % (i, i * 7, i % 97)
                        for i in range(size // 40))
    else:            # half random, half zeros
        data = os.urandom(size // 2) + bytes(size - size // 2)
    with open(os.path.join(folder, 'f%05d.bin' % n), 'wb') as f:
        f.write(data)
    total += len(data)
    n += 1
print('%d files, %d bytes' % (n, total))
PY

echo "packing ..."
(cd "$WORK/tree" && zip -qr -6 "$WORK/t.zip" .)
"$RUN" "$BIN/libcab32.so" Cab "-a -r \"$WORK/t.cab\" \"$WORK/tree/\" *.*"
ls -l "$WORK/t.zip" "$WORK/t.cab" | awk '{print "  " $5 " bytes  " $9}'

# Best of ROUNDS wall-clock seconds for a command, each run into a fresh folder.
best() {
  local best=""
  for ((i = 0; i < ROUNDS; i++)); do
    rm -rf "$WORK/out"; mkdir -p "$WORK/out"; sync
    local start end t
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    t=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')
    best=$(awk -v t="$t" -v b="$best" 'BEGIN { print (b == "" || t < b) ? t : b }')
  done
  echo "$best"
}

check_same() {
  if ! diff -rq "$WORK/tree" "$WORK/out" >/dev/null; then
    echo "output differs from the tree: $1" >&2; exit 1
  fi
}

zip_ours=$(best "$RUN" "$BIN/libunzip32.so" UnZip "-x -o --i \"$WORK/t.zip\" \"$WORK/out/\"")
check_same "UnZip -x"
zip_peer=$(best bsdtar -xf "$WORK/t.zip" -C "$WORK/out")
check_same "bsdtar"
cab_ours=$(best "$RUN" "$BIN/libcab32.so" Cab "-x -r -o -i \"$WORK/t.cab\" \"$WORK/out/\"")
check_same "Cab -x -r"
cab_peer=$(best cabextract -q -d "$WORK/out" "$WORK/t.cab")
check_same "cabextract"

printf '\n%-22s %10s %10s %8s %8s\n' "extraction" "ours (s)" "peer (s)" "speed" "target"
printf '%-22s %10.3f %10.3f %7.2fx %8s\n' "ZIP vs bsdtar" "$zip_ours" "$zip_peer" \
  "$(awk -v p="$zip_peer" -v o="$zip_ours" 'BEGIN { print p / o }')" ">=0.8x"
printf '%-22s %10.3f %10.3f %7.2fx %8s\n' "CAB vs cabextract" "$cab_ours" "$cab_peer" \
  "$(awk -v p="$cab_peer" -v o="$cab_ours" 'BEGIN { print p / o }')" ">=0.8x"
echo "(speed = peer time / our time, best of $ROUNDS runs each)"
