#!/usr/bin/env bash
# The window thread's longest stall while archive work runs through the program's call path
# (target: under 50 ms), and each operation's time beside the same work done by a peer tool:
#   extraction of a 1 GiB LZH (made by jlha)     against bsdtar -xf
#   compression of the same 1 GiB into an LZH    against jlha a
#   listing of a 100,000-member ZIP              against bsdtar -tf
# Extraction and compression run both on the worker ("threaded", as the program does) and on
# the window thread ("direct", as before); the worker's cost is their time ratio (target: under
# 5 %). Medians of RUNS runs. Needs about 4 GiB of free space in TMPDIR.
set -euo pipefail
cd "$(dirname "$0")/../.."
RUNS=${RUNS:-1}
build=$(realpath "${BUILD_DIR:-build}")
bench="$build/bench/archive_stall_bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
# 1 GiB: half base64 text (compresses to about three quarters), half noise (does not).
mkdir -p "$work/tree/text" "$work/tree/noise"
for i in 0 1 2 3; do
  head -c 100663296 /dev/urandom | base64 -w 76 > "$work/tree/text/t$i.txt"
  head -c 134217728 /dev/urandom > "$work/tree/noise/n$i.bin"
done
python3 - "$work/many.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for i in range(100000):
        z.writestr("folder%03d/member%06d.txt" % (i % 500, i), b"x" * (i % 50))
PY
ms() { echo $(( ($2 - $1) / 1000000 )); }
median() { sort -n | awk '{a[NR]=$1} END {printf "%.0f", a[int((NR+1)/2)]}'; }
field() { awk -v f="$1" 'NR==1 {print $f}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a/b}'; }

# Compression: ours (threaded, direct) and jlha; jlha's archive is the one extracted below.
c_thr=(); c_dir=(); c_stall=(); c_dstall=(); c_peer=()
for i in $(seq 1 "$RUNS"); do
  rm -f "$work/ours.lzh" "$work/big.lzh"
  out=$("$bench" compress "$build/bin" threaded "$work/ours.lzh" "$work/tree" 2>/dev/null)
  c_thr+=("$(echo "$out" | field 1)"); c_stall+=("$(echo "$out" | field 2)")
  rm -f "$work/ours.lzh"
  out=$("$bench" compress "$build/bin" direct "$work/ours.lzh" "$work/tree" 2>/dev/null)
  c_dir+=("$(echo "$out" | field 1)"); c_dstall+=("$(echo "$out" | field 2)")
  s=$(date +%s%N); (cd "$work/tree" && jlha aq "$work/big.lzh" text noise >/dev/null); e=$(date +%s%N)
  c_peer+=("$(ms "$s" "$e")")
done
members=$(bsdtar -tf "$work/ours.lzh" | grep -vc '/$' || true)
a=$(printf '%s\n' "${c_thr[@]}" | median); d=$(printf '%s\n' "${c_dir[@]}" | median)
p=$(printf '%s\n' "${c_peer[@]}" | median)
echo "compress 1 GiB LZH ($members files): threaded $a ms (stall $(printf '%s\n' "${c_stall[@]}" | median) ms), direct $d ms (stall $(printf '%s\n' "${c_dstall[@]}" | median) ms), jlha a $p ms; threaded/jlha $(ratio "$a" "$p"), threaded/direct $(ratio "$a" "$d")"

# Extraction of jlha's archive: ours (threaded, direct) and bsdtar.
x_thr=(); x_dir=(); x_stall=(); x_dstall=(); x_peer=()
for i in $(seq 1 "$RUNS"); do
  rm -rf "$work/x1" "$work/x2" "$work/peer"; mkdir -p "$work/x1" "$work/x2" "$work/peer"
  out=$("$bench" extract "$build/bin" threaded "$work/big.lzh" "$work/x1" 2>/dev/null)
  x_thr+=("$(echo "$out" | field 1)"); x_stall+=("$(echo "$out" | field 2)")
  out=$("$bench" extract "$build/bin" direct "$work/big.lzh" "$work/x2" 2>/dev/null)
  x_dir+=("$(echo "$out" | field 1)"); x_dstall+=("$(echo "$out" | field 2)")
  s=$(date +%s%N); bsdtar -xf "$work/big.lzh" -C "$work/peer"; e=$(date +%s%N)
  x_peer+=("$(ms "$s" "$e")")
  cmp "$work/x1/noise/n3.bin" "$work/peer/noise/n3.bin"
  cmp "$work/x2/text/t2.txt" "$work/tree/text/t2.txt"
done
a=$(printf '%s\n' "${x_thr[@]}" | median); d=$(printf '%s\n' "${x_dir[@]}" | median)
p=$(printf '%s\n' "${x_peer[@]}" | median)
echo "extract 1 GiB LZH: threaded $a ms (stall $(printf '%s\n' "${x_stall[@]}" | median) ms), direct $d ms (stall $(printf '%s\n' "${x_dstall[@]}" | median) ms), bsdtar -xf $p ms; threaded/bsdtar $(ratio "$a" "$p"), threaded/direct $(ratio "$a" "$d")"

# Listing of 100,000 members into the member list.
l_ours=(); l_stall=(); l_peer=()
for i in $(seq 1 "$RUNS"); do
  out=$("$bench" list "$build/bin" "$work/many.zip" 2>/dev/null)
  rows=$(echo "$out" | awk '/^rows/ {print $2}')
  [ "$rows" = 100000 ] || { echo "listed $rows rows" >&2; exit 1; }
  l_ours+=("$(echo "$out" | field 1)"); l_stall+=("$(echo "$out" | field 2)")
  s=$(date +%s%N); bsdtar -tf "$work/many.zip" >/dev/null; e=$(date +%s%N)
  l_peer+=("$(ms "$s" "$e")")
done
a=$(printf '%s\n' "${l_ours[@]}" | median); p=$(printf '%s\n' "${l_peer[@]}" | median)
echo "list 100,000-member ZIP: $a ms (stall $(printf '%s\n' "${l_stall[@]}" | median) ms), bsdtar -tf $p ms; ours/bsdtar $(ratio "$a" "$p")"
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
