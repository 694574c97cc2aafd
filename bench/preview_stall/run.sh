#!/usr/bin/env bash
# The window thread's longest stall (target: under 50 ms each):
#   while the preview prints a 4 MiB text into a PDF file (the pages are made on a worker);
#   while the preview loads a text whose read stalls for 5 s (the loader's source waits first,
#   as a file on a mount that does not answer would).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "${BUILD_DIR:-build}")
bench="$build/bench/preview_stall_bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
python3 - "$work/big.txt" <<'PY'
import sys
with open(sys.argv[1], "w", encoding="utf-8") as f:
    size, i = 0, 0
    while size < 4 * 1024 * 1024:
        i += 1
        line = "line %d of a long text, 日本語の行も混ぜて\n" % i
        f.write(line)
        size += len(line.encode("utf-8"))
PY
out=$("$bench" print "$work/big.txt" "$work/big.pdf" 2>/dev/null)
pages=$(pdfinfo "$work/big.pdf" 2>/dev/null | awk '/^Pages:/ {print $2}')
echo "print 4 MiB text ($pages pages): $(echo "$out" | awk 'NR==1 {print $1}') ms, longest stall $(echo "$out" | awk 'NR==1 {print $2}') ms"
printf 'a small text\n' > "$work/small.txt"
out=$("$bench" load "$work/small.txt" 5000 2>/dev/null)
echo "load a text whose read stalls 5 s: $(echo "$out" | awk 'NR==1 {print $1}') ms, longest stall $(echo "$out" | awk 'NR==1 {print $2}') ms"
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
