#!/usr/bin/env bash
# Starts the program from a folder of its own under Xvfb with a folder on its command line,
# waits for its window, takes a screenshot, asks it to end as a logout would (SIGTERM), and
# checks what an orderly close leaves: the window size recorded in exp.ini (code page 932
# text kept), the work folder gone.
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
command -v xvfb-run >/dev/null || fail "xvfb-run is missing (scripts/install-deps.sh installs it)"
command -v xwininfo >/dev/null || fail "xwininfo is missing (x11-utils)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$KORAMO_BUILD_BIN/koramo" "$work/"
mkdir -p "$work/temp/staged/deeper" "$work/開く"
echo staged > "$work/temp/staged/deeper/member.txt"
# [yokutukau] folder=C:\写真 in code page 932, then [window] size=1, CRLF as Windows writes.
original() { printf '[yokutukau]\r\nfolder=C:\\\x8e\xca\x90\x5e\r\n[window]\r\nsize=1\r\n'; }
original > "$work/exp.ini"

export WORK="$work"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -u
  env -u QT_QPA_PLATFORM "$WORK/koramo" "$WORK/開く" &
  pid=$!
  for i in $(seq 1 600); do
    if xwininfo -root -tree 2>/dev/null | grep -q "開く"; then break; fi
    sleep 0.1 # polls for the window, at most a minute
  done
  xwininfo -root -tree | grep -q "開く" || { echo "FAIL: no window titled with the folder"; kill -9 $pid; exit 1; }
  sleep 1 # the window settles before its picture is taken
  import -window root "$WORK/shot.png" 2>/dev/null || true
  kill -TERM $pid
  wait $pid
  echo "exit=$?" > "$WORK/exit.txt"
'
grep -q '^exit=0$' "$work/exit.txt" || fail "the program did not end cleanly: $(cat "$work/exit.txt")"
[ ! -e "$work/temp" ] || fail "the work folder is still there"
grep -q $'^saidai=0\r$' "$work/exp.ini" || fail "saidai=0 not recorded: $(cat -A "$work/exp.ini")"
grep -q $'^width=[0-9.]*\r$' "$work/exp.ini" || fail "width not recorded"
grep -q $'^height=[0-9.]*\r$' "$work/exp.ini" || fail "height not recorded"
expected_head=$(original | od -An -tx1)
actual_head=$(head -c "$(original | wc -c)" "$work/exp.ini" | od -An -tx1)
[ "$expected_head" = "$actual_head" ] || fail "the existing lines were changed"
if [ -f "$work/shot.png" ] && command -v convert >/dev/null; then
  mean=$(convert "$work/shot.png" -format '%[fx:mean]' info:)
  awk -v m="$mean" 'BEGIN { exit !(m > 0.05) }' || fail "the screenshot is black (mean $mean)"
fi
echo "PASS: started, showed its window, closed in order"
