#!/bin/sh
# Runs a test in a mount namespace of its own whose mounts do not reach the machine; exits 77
# (skipped) where no such namespace can be made (not root, or unshare missing).
if ! unshare -m --propagation private true 2>/dev/null; then
  echo "no mount namespace can be made here: skipped"
  exit 77
fi
exec unshare -m --propagation private env KORAMO_MOUNT_NAMESPACE=1 "$@"
