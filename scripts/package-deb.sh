#!/usr/bin/env bash
# Builds the Debian package koramo_VERSION_ARCH.deb in the source folder and checks it:
#   scripts/package-deb.sh [--no-check]
# The program is built in build-deb/ (Release) unless KORAMO_BUILD_DIR names a configured
# build folder to install from. The package's Depends: come from the shared libraries its
# files link (dpkg-shlibdeps). Afterwards desktop-file-validate, appstreamcli validate and
# lintian run on the result; any error fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
check=1
[ "${1:-}" = "--no-check" ] && check=0

version=$(sed -n 's/^project(koramo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
build=${KORAMO_BUILD_DIR:-$root/build-deb}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache
fi
cmake --build "$build" -j2 --target koramo unlha32 unzip32 cab32 koramo_webengine koramo-sfx

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage="$work/koramo"
DESTDIR="$stage" cmake --install "$build" --prefix /usr --strip >/dev/null

# The documentation Debian asks of every package, and the man page compressed.
doc="$stage/usr/share/doc/koramo"
mkdir -p "$doc"
cp packaging/debian/copyright "$doc/copyright"
sed "s/@VERSION@/$version/" packaging/debian/changelog | gzip -9n > "$doc/changelog.gz"
gzip -9nf "$stage/usr/share/man/man1/koramo.1"
mkdir -p "$stage/usr/share/lintian/overrides"
cp packaging/debian/lintian-overrides "$stage/usr/share/lintian/overrides/koramo"
find "$stage" -type d -exec chmod 0755 {} +
find "$stage" -type f -exec chmod go-w {} +
find "$stage/usr/lib/koramo" -name '*.so' -exec chmod 0644 {} +

# Depends: from the ELF files (the static stub needs nothing).
mkdir -p "$work/src/debian"
printf 'Source: koramo\n\nPackage: koramo\nArchitecture: any\n' > "$work/src/debian/control"
elves=("$stage/usr/bin/koramo")
for f in "$stage"/usr/lib/koramo/*.so; do elves+=("$f"); done
depends=$(cd "$work/src" && dpkg-shlibdeps -O --ignore-missing-info "${elves[@]}" 2>/dev/null |
  sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "package-deb: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

size=$(du -sk --exclude=DEBIAN "$stage" | cut -f1)
mkdir -p "$stage/DEBIAN"
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@SIZE@/$size/" \
    -e "s|@DEPENDS@|$depends|" packaging/debian/control > "$stage/DEBIAN/control"

(cd "$stage" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$stage/DEBIAN/md5sums"

deb="$root/koramo_${version}_${arch}.deb"
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "package-deb: built $deb"
echo "Depends: $depends"

if [ "$check" -eq 1 ]; then
  desktop-file-validate "$stage/usr/share/applications/koramo.desktop"
  appstreamcli validate --no-net "$stage/usr/share/metainfo/io.github.koramo.koramo.metainfo.xml"
  lintian --fail-on error "$deb"
  echo "package-deb: desktop-file-validate, appstreamcli validate and lintian passed"
fi
