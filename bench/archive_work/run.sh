#!/usr/bin/env bash
# Extraction of a 200 MB LZH and a 200 MB ZIP through the destination dialog's
# "現在のフォルダに解凍" against `bsdtar -xf` of the same archive (target: at least 0.9x its
# speed), and a double click on one member of a 10,000-member LZH until the member's file
# exists (target: under 100 ms). Medians of RUNS runs.
set -euo pipefail
cd "$(dirname "$0")/../.."
RUNS=${RUNS:-3}
build=$(realpath "${BUILD_DIR:-build}")
bench="$build/bench/archive_work_bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
# 200 MB: half text-like (compresses well), half noise (does not).
mkdir -p "$work/tree/text" "$work/tree/noise"
python3 - "$work/tree" <<'PY'
import os, random, sys
d = sys.argv[1]
random.seed(7)
words = [("w%d" % i).encode() for i in range(5000)]
for i in range(10):
    with open(os.path.join(d, "text", "t%02d.txt" % i), "wb") as f:
        out = bytearray()
        while len(out) < 10_000_000:
            out += b" ".join(random.choice(words) for _ in range(12)) + b"\n"
        f.write(out[:10_000_000])
    with open(os.path.join(d, "noise", "n%02d.bin" % i), "wb") as f:
        f.write(os.urandom(10_000_000))
PY
(cd "$work/tree" && jlha a "$work/big.lzh" text noise >/dev/null && zip -qr "$work/big.zip" text noise)
median() { sort -n | awk '{a[NR]=$1} END {printf "%.0f", a[int((NR+1)/2)]}'; }
for kind in lzh zip; do
  ours=(); peer=()
  for i in $(seq 1 "$RUNS"); do
    rm -rf "$work/dlg" "$work/peer"; mkdir -p "$work/dlg" "$work/peer"
    ln "$work/big.$kind" "$work/dlg/big.$kind"
    s=$(date +%s%N); "$bench" extract "$build/bin" "$work/dlg/big.$kind"; e=$(date +%s%N)
    ours+=("$(( (e - s) / 1000000 ))")
    s=$(date +%s%N); bsdtar -xf "$work/big.$kind" -C "$work/peer"; e=$(date +%s%N)
    peer+=("$(( (e - s) / 1000000 ))")
    cmp "$work/dlg/noise/n03.bin" "$work/peer/noise/n03.bin"
  done
  a=$(printf '%s\n' "${ours[@]}" | median); b=$(printf '%s\n' "${peer[@]}" | median)
  echo "$kind 200 MB: Form5 Command1 $a ms, bsdtar -xf $b ms, speed $(awk -v a="$a" -v b="$b" 'BEGIN{printf "%.2f", b/a}')x (target >= 0.9)"
done
# 10,000 members, one double click.
mkdir -p "$work/many"
python3 - "$work/many" <<'PY'
import os, sys
for i in range(10000):
    with open(os.path.join(sys.argv[1], "member%05d.txt" % i), "w") as f:
        f.write("x" * (i % 200))
PY
(cd "$work/many" && jlha a "$work/many.lzh" member*.txt >/dev/null)
ms=$("$bench" open "$build/bin" "$work/many.lzh" member09999.txt 7)
echo "double click on member 10,000 of 10,000 (LZH) until its file exists: $ms ms (target < 100)"
