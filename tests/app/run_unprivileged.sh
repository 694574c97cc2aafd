#!/bin/sh
# Runs a test as an ordinary user (nobody) when started as root, so that file permissions
# matter as they do to a user; as any other user it runs as it is.
if [ "$(id -u)" != 0 ]; then
  exec "$@"
fi
home=$(mktemp -d)
chown 65534:65534 "$home"
status=0
env -u XDG_RUNTIME_DIR HOME="$home" \
  setpriv --reuid=65534 --regid=65534 --clear-groups "$@" || status=$?
rm -rf "$home"
exit $status
