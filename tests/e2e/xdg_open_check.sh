#!/bin/sh
# Run by tests/e2e/installed_deb.sh as the ordinary user inside the Debian root, on a display
# with an accessibility bus: xdg-open on each sample archive (LZH, ZIP, CAB, 7z, .tar.gz) must
# start the installed program with that file, and its window must show that archive's members
# (each holds a member of its own, only-EXT.txt). Prints the type the system gives each file
# and the application it chose.
status=0
for e in lzh zip cab 7z tgz; do
  f=$HOME/sample.$e
  [ "$e" = tgz ] && f=$HOME/sample.tar.gz
  type=$(xdg-mime query filetype "$f")
  echo "$f: $type -> $(xdg-mime query default "$type")"
  xdg-open "$f" &
  opener=$!
  pid=""
  for _ in $(seq 1 150); do
    pid=$(pgrep -u "$(id -u)" -x koramo || true)
    [ -n "$pid" ] && break
    if ! kill -0 "$opener" 2>/dev/null; then
      wait "$opener"
      echo "FAIL: xdg-open $f ended with status $? and started no program"
      status=1
      continue 2
    fi
    sleep 0.2 # polls for the program to start
  done
  if [ -z "$pid" ]; then
    echo "FAIL: xdg-open $f started no koramo"
    status=1
    kill "$opener" 2>/dev/null
    continue
  fi
  if tr '\0' '\n' <"/proc/$pid/cmdline" | grep -qxF "$f"; then
    echo "PASS: xdg-open $f started koramo $f"
    if python3 /tmp/read_members.py one.txt two.txt "only-$e.txt"; then
      echo "PASS: koramo shows the members of $f"
    else
      status=1
    fi
  else
    echo "FAIL: koramo was started without $f: $(tr '\0' ' ' <"/proc/$pid/cmdline")"
    status=1
  fi
  kill -TERM "$pid"
  wait "$opener" 2>/dev/null
  # The next file must start a program of its own, not find this one still closing.
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
done
exit $status
