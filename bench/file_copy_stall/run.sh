#!/usr/bin/env bash
# The window thread's longest stall while the program copies a 3 GiB file through its shell
# (target: under 50 ms), and the copy's time against cp doing the same. Both copies go from
# the same source to a fresh file in the same folder; the page cache is warm for both. The
# program's copy puts its file on the disk (fsync) before it takes its name; cp does not, so
# a third line times cp followed by sync for a fair comparison. Needs about 9 GiB of free
# space in TMPDIR.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${BUILD_DIR:-build}")
bench="$build/bench/file_copy_stall_bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
head -c 3221225472 /dev/urandom > "$work/big.bin"
mkdir -p "$work/ours" "$work/peer"
cat "$work/big.bin" > /dev/null
sync
ms() { echo $(( ($2 - $1) / 1000000 )); }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a/b}'; }

out=$("$bench" "$work/big.bin" "$work/ours" 2>/dev/null)
ours=$(echo "$out" | awk '{printf "%.0f", $1}')
stall=$(echo "$out" | awk '{print $2}')
cmp "$work/big.bin" "$work/ours/big.bin"
rm -f "$work/ours/big.bin"; sync

s=$(date +%s%N); cp "$work/big.bin" "$work/peer/big.bin"; e=$(date +%s%N)
peer=$(ms "$s" "$e")
rm -f "$work/peer/big.bin"; sync
s=$(date +%s%N); cp "$work/big.bin" "$work/peer/big.bin"; sync "$work/peer/big.bin"; e=$(date +%s%N)
peersync=$(ms "$s" "$e")

echo "copy 3 GiB: ours $ours ms (longest stall of the window thread $stall ms), cp $peer ms, cp+sync $peersync ms; ours/cp $(ratio "$ours" "$peer"), ours/(cp+sync) $(ratio "$ours" "$peersync")"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
