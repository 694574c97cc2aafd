#!/usr/bin/env bash
# Runs .ci/run (install, build, every test) in a fresh minimal Debian 12 root, the way a new
# machine would: debootstrap --variant=minbase bookworm, a clone of this checkout's committed
# HEAD inside it, then chroot. Needs root (re-runs itself through sudo) and a network.
#
# Usage: scripts/ci-in-debootstrap.sh [ROOT_DIR]
#   ROOT_DIR   where the root is made (default: a new folder under /var/tmp); a folder that
#              already holds a debootstrapped root is reused, only the clone is made afresh
#   KEEP_ROOT=1  keep the root afterwards (it is deleted otherwise, when this script made it)
#   MIRROR=URL   the Debian mirror (default: the one this machine's apt sources use for
#                bookworm, scripts/apt-mirror.sh)
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
  exec sudo --preserve-env=KEEP_ROOT,MIRROR "$0" "$@"
fi

checkout="$(cd "$(dirname "$0")/.." && pwd)"
. "$checkout/scripts/apt-mirror.sh"
mirror=$(apt_mirror bookworm)
made_root=0
if [ $# -ge 1 ]; then
  root="$(realpath -m "$1")"
  mkdir -p "$root"
else
  root="$(mktemp -d /var/tmp/koramo-ci.XXXXXX)"
  # mktemp makes the folder 0700; as the root's "/" that would keep every test that runs as an
  # ordinary user from its libraries ("Permission denied" from the loader).
  chmod 755 "$root"
  made_root=1
fi

# The script's own needs: debootstrap to make the root, git to clone into it.
need=()
command -v debootstrap >/dev/null || need+=(debootstrap)
command -v git >/dev/null || need+=(git)
if [ "${#need[@]}" -gt 0 ]; then
  echo "== installing ${need[*]}"
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${need[@]}"
fi

mounted=()
cleanup() {
  local status=$?
  # Unmount in reverse order, then delete the root only when nothing is mounted below it.
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" || true
  done
  if [ "$made_root" = 1 ] && [ "${KEEP_ROOT:-0}" != 1 ]; then
    if findmnt -rn -o TARGET | grep -q "^$root/"; then
      echo "== something is still mounted below $root; it is left in place" >&2
    else
      rm -rf --one-file-system "$root"
    fi
  else
    echo "== the root stays in $root"
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mount_in_root() { # TYPE-OR-bind SOURCE TARGET
  mkdir -p "$root$3"
  if [ "$1" = bind ]; then
    mount --bind "$2" "$root$3"
  else
    mount -t "$1" "$2" "$root$3"
  fi
  mounted+=("$root$3")
}

if [ -x "$root/usr/bin/apt-get" ]; then
  echo "== reusing the Debian root in $root"
else
  echo "== debootstrap --variant=minbase bookworm $root $mirror"
  debootstrap --variant=minbase bookworm "$root" "$mirror"
fi

mount_in_root proc proc /proc
mount_in_root sysfs sysfs /sys
mount_in_root bind /dev /dev
mount_in_root bind /dev/pts /dev/pts
mount_in_root tmpfs tmpfs /dev/shm
cp -L /etc/resolv.conf "$root/etc/resolv.conf"

# A clone of the committed HEAD: what CI sees, without the build folders of this checkout.
rm -rf "$root/root/koramo"
git clone --quiet --no-hardlinks "$checkout" "$root/root/koramo"
echo "== $(git -C "$root/root/koramo" log -1 --format='%h %s')"

echo "== chroot: .ci/run"
chroot "$root" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" LANG=C.UTF-8 \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  DEBIAN_FRONTEND=noninteractive \
  /bin/bash -c 'cd /root/koramo && .ci/run'
