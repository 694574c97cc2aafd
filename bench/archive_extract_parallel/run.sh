#!/usr/bin/env bash
# Extraction on every core against the peer tools, on archives the peers' own writers made:
# jlha (lh5, lh7), Info-ZIP and gcab, of a tree of about 200 MB in 119 files and of one 60 MB
# file. Ours and the peer take turns; best of ROUNDS (3) wall and CPU times; ratios are peer
# time / our time (target: many members >= 1.5x, one member >= 1.1x). "ours 1" is our
# library held to one worker (KORAMO_EXTRACT_THREADS=1). The load is printed before and after.
#   bench/archive_extract_parallel/run.sh [WORKDIR]
# BENCH_ONLY=cab (or lzh, zip) runs the rows of that format alone; ONLY=REGEX keeps the rows
# whose label matches (e.g. ONLY='one zip'), for quick turns; all rows by default.
# Needs a build with unlha_bench and run_archiver (BENCH_BUILD_DIR, default build-release).
set -euo pipefail
cd "$(dirname "$0")/../.."
SRC=$(pwd)
WORK=${1:-/tmp/koramo-extract-parallel}
BUILD=${BENCH_BUILD_DIR:-$SRC/build-release}
ROUNDS=${ROUNDS:-3}
FORMAT_ONLY=${BENCH_ONLY:-}
case "$FORMAT_ONLY" in "" | lzh | zip | cab) ;; *) echo "bench: BENCH_ONLY is lzh, zip or cab" >&2; exit 1 ;; esac
wanted() { [ -z "$FORMAT_ONLY" ] || [ "$FORMAT_ONLY" = "$1" ]; }
ONLY=${ONLY:-}
LZH="$BUILD/bench/archiver_lzh/unlha_bench"
RUN="$BUILD/bench/run_archiver"
BIN="$BUILD/bin"
for tool in bsdtar jlha zip gcab cabextract python3; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
for f in "$LZH" "$RUN" "$BIN/libunlha32.so" "$BIN/libunzip32.so" "$BIN/libcab32.so"; do
  [ -e "$f" ] || { echo "bench: $f is missing: build unlha_bench, run_archiver, unlha32, unzip32 and cab32 in $BUILD" >&2; exit 1; }
done

mkdir -p "$WORK"
[ -d "$WORK/tree" ] || python3 bench/archiver_lzh/make_tree.py "$WORK/tree" 200
if [ ! -d "$WORK/one" ]; then
  mkdir -p "$WORK/one"
  # head stops reading after 60 MB, so cat ends on a broken pipe: that is expected here.
  (set +o pipefail; find "$WORK/tree" -type f | sort | head -40 | xargs cat 2>/dev/null |
    head -c 60000000 > "$WORK/one/big.dat")
fi
pack() { # NAME SRCDIR: the archives of one input
  local name=$1 dir=$2 files
  files=$(cd "$dir" && find . -type f | sed 's|^\./||' | sort)
  if wanted lzh; then
    [ -f "$WORK/$name-5.lzh" ] || (cd "$dir" && jlha ao5q "$WORK/$name-5.lzh" $files)
    [ -f "$WORK/$name-7.lzh" ] || (cd "$dir" && jlha ao7q "$WORK/$name-7.lzh" $files)
  fi
  if wanted zip; then [ -f "$WORK/$name.zip" ] || (cd "$dir" && zip -q "$WORK/$name.zip" $files); fi
  if wanted cab; then [ -f "$WORK/$name.cab" ] || (cd "$dir" && gcab -c -z "$WORK/$name.cab" $files); fi
}
pack tree "$WORK/tree"
pack one "$WORK/one"

# "WALL CPU" of one run into a fresh folder, checked against the input.
measure() {
  local input=$1; shift
  rm -rf "$WORK/out"; mkdir -p "$WORK/out"; sync
  python3 - "$@" <<'PY'
import resource, subprocess, sys, time
start = time.monotonic()
subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)
wall = time.monotonic() - start
r = resource.getrusage(resource.RUSAGE_CHILDREN)
print('%.4f %.4f' % (wall, r.ru_utime + r.ru_stime))
PY
  diff -rq "$input" "$WORK/out" >/dev/null || { echo "bench: output differs: $*" >&2; return 1; }
}
best() { awk -v t="$1" -v b="$2" 'BEGIN { print (b == "" || t < b) ? t : b }'; }

rows=()
duel() { # LABEL INPUT OURS... -- PEER...
  local label=$1 input=$2; shift 2
  [[ -z "$ONLY" || "$label" =~ $ONLY ]] || return 0
  local sep; for ((sep = 1; sep <= $#; sep++)); do [ "${!sep}" = "--" ] && break; done
  local -a ours=("${@:1:sep-1}") peer=("${@:sep+1}")
  local ow="" oc="" o1="" pw="" pc="" w c
  # Each run is checked before the next one starts (a check still reading the output while
  # the next run removes it would fail and slow that run down), and a wrong output ends the
  # bench.
  local out
  for ((i = 0; i < ROUNDS; i++)); do
    out=$(measure "$input" "${ours[@]}") || exit 1
    read -r w c <<<"$out"; ow=$(best "$w" "$ow"); oc=$(best "$c" "$oc")
    out=$(measure "$input" "${peer[@]}") || exit 1
    read -r w c <<<"$out"; pw=$(best "$w" "$pw"); pc=$(best "$c" "$pc")
    out=$(KORAMO_EXTRACT_THREADS=1 measure "$input" "${ours[@]}") || exit 1
    read -r w c <<<"$out"; o1=$(best "$w" "$o1")
  done
  rows+=("$(awk -v n="$label" -v ow="$ow" -v o1="$o1" -v oc="$oc" -v pw="$pw" -v pc="$pc" 'BEGIN {
    printf "%-26s %8.3f %8.3f %8.3f %7.2fx %7.2fx %8.3f %8.3f", n, ow, o1, pw, pw / ow, pw / o1, oc, pc }')")
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for name in tree one; do
  for m in 5 7; do
    wanted lzh || continue
    duel "$name lh$m vs bsdtar" "$WORK/$name" "$LZH" run "$BIN" "e -d1 -m1 -n \"$WORK/$name-$m.lzh\" \"$WORK/out/\"" -- \
      bsdtar -xf "$WORK/$name-$m.lzh" -C "$WORK/out"
  done
  if wanted zip; then
    duel "$name zip vs bsdtar" "$WORK/$name" "$RUN" "$BIN/libunzip32.so" UnZip "-x -o --i \"$WORK/$name.zip\" \"$WORK/out/\"" -- \
      bsdtar -xf "$WORK/$name.zip" -C "$WORK/out"
  fi
  if wanted cab; then
    duel "$name cab vs cabextract" "$WORK/$name" "$RUN" "$BIN/libcab32.so" Cab "-x -r -o -i \"$WORK/$name.cab\" \"$WORK/out/\"" -- \
      cabextract -q -d "$WORK/out" "$WORK/$name.cab"
  fi
done
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)   cores: $(nproc)"
printf '%-26s %8s %8s %8s %8s %8s %8s %8s\n' "archive" "ours s" "ours 1" "peer s" "ratio" "ratio 1" "ours cpu" "peer cpu"
for r in "${rows[@]}"; do echo "$r"; done
echo "(tree: $(find "$WORK/tree" -type f | wc -l) files; one: 1 file of 60 MB; best of $ROUNDS turns each)"
