#!/usr/bin/env bash
# Start-up to the window shown: コラモ against pcmanfm-qt (Debian's Qt file manager), both
# under the same Xvfb, same folder, alternating, RUNS times each; prints medians and the ratio.
# Target: コラモ's window appears in under half the peer's time (ratio < 0.5).
set -euo pipefail
cd "$(dirname "$0")/../.."
# pcmanfm-qt keeps a single instance through the session bus and ends at once without one:
# both programs run inside one private session bus.
if [ -z "${IN_BENCH_BUS:-}" ]; then
  export IN_BENCH_BUS=1
  exec dbus-run-session -- "$0" "$@"
fi
RUNS=${RUNS:-15}
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
command -v pcmanfm-qt >/dev/null || { $SUDO apt-get install -y -q --no-install-recommends pcmanfm-qt >/dev/null; }
# SKIP_BUILD=1 measures the build as it is.
[ -n "${SKIP_BUILD:-}" ] || BUILD_DIR=${BUILD_DIR:-build-release} BUILD_TYPE=Release scripts/build.sh >/dev/null
bin=$(realpath "${BUILD_DIR:-build-release}")

work=$(mktemp -d)
trap 'rm -rf "$work"; [ -n "${xvfb:-}" ] && kill $xvfb 2>/dev/null || true' EXIT
mkdir -p "$work/program" "$work/home" "$work/folder"
cp "$bin/bin/koramo" "$work/program/"
cp "$bin"/bin/*.so "$work/program/" 2>/dev/null || true
for i in $(seq 1 200); do echo "file $i" > "$work/folder/file$i.txt"; done

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
# The server is up once its socket answers.
for _ in $(seq 1 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
chmod 700 "$work/home"
export DISPLAY=$display HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/home
unset QT_QPA_PLATFORM

# One warm-up run each, so that both start from a warm file cache.
"$bin/bench/window_shown" "$work/program/koramo" "$work/folder" >/dev/null
"$bin/bench/window_shown" pcmanfm-qt "$work/folder" >/dev/null
ours=(); peer=()
for i in $(seq 1 "$RUNS"); do
  ours+=("$("$bin/bench/window_shown" "$work/program/koramo" "$work/folder")")
  peer+=("$("$bin/bench/window_shown" pcmanfm-qt "$work/folder")")
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
mo=$(median "${ours[@]}"); mp=$(median "${peer[@]}")
echo "start-up to window shown, median of $RUNS runs (ms)"
echo "  koramo      $mo   (all: ${ours[*]})"
echo "  pcmanfm-qt  $mp   (all: ${peer[*]})"
awk -v a="$mo" -v b="$mp" 'BEGIN { printf "  ratio koramo/pcmanfm-qt = %.2f (target < 0.50)\n", a / b }'
