#!/usr/bin/env bash
# Builds the packages of the committed HEAD twice and compares them byte for byte:
#   scripts/check-reproducible.sh [WORK_DIR]
# Each build runs `dpkg-buildpackage -us -uc -b` in its own clean clone, the two at different
# paths (build/a/koramo and build/second-copy/koramo), with a different umask and time zone, so
# that neither the build folder nor the builder's settings may leak into the packages. The
# time stamps come from SOURCE_DATE_EPOCH, which debhelper takes from debian/changelog. Every
# .deb and .ddeb must have the same SHA-256 in both; for a package that differs, the files
# inside that differ are listed. WORK_DIR (default: a new temporary folder) is kept when given.
# DEB_BUILD_OPTIONS is passed on (e.g. parallel=2).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -ge 1 ]; then
  work=$(realpath -m "$1"); mkdir -p "$work"
else
  work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
fi
commit=$(git -C "$root" rev-parse HEAD)
echo "check-reproducible: $commit"

build() { # DIR UMASK TZ
  rm -rf "$1"; mkdir -p "$1"
  git clone --quiet --no-hardlinks "$root" "$1/koramo"
  git -C "$1/koramo" checkout --quiet "$commit"
  (cd "$1/koramo" && umask "$2" && TZ=$3 dpkg-buildpackage -us -uc -b >"$1/build.log" 2>&1) ||
    { tail -n 30 "$1/build.log"; echo "check-reproducible: the build in $1 failed" >&2; exit 1; }
}
build "$work/a" 0022 UTC
build "$work/second-copy" 0002 Asia/Tokyo

shopt -s nullglob
status=0
cd "$work/a"
set -- *.deb *.ddeb
[ $# -gt 0 ] || { echo "check-reproducible: no packages were made" >&2; exit 1; }
for f in "$@"; do
  one=$(sha256sum <"$f" | cut -d' ' -f1)
  two=$(sha256sum <"$work/second-copy/$f" | cut -d' ' -f1)
  if [ "$one" = "$two" ]; then
    echo "same       $one  $f"
  else
    echo "DIFFERENT  $f"
    status=1
    rm -rf "$work/x1" "$work/x2"
    dpkg-deb -R "$f" "$work/x1"
    dpkg-deb -R "$work/second-copy/$f" "$work/x2"
    diff -rq "$work/x1" "$work/x2" || true
  fi
done
[ "$status" -eq 0 ] && echo "check-reproducible: both builds gave byte-identical packages"
exit "$status"
