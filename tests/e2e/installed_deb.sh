#!/usr/bin/env bash
# On demand (not in CTest: it takes long on a small machine). In a fresh minimal Debian 12
# root: installs the package with apt (which pulls in what it depends on), checks that the
# menu entry and the metainfo validate, and as an ordinary user starts the installed program
# under Xvfb (it opens the home folder) and clicks the .lzh there in the file list with the
# mouse. Passes when the window shows the archive's members (read through the accessibility
# bus), the help document is in the data folder, the archiver library was loaded from the
# installed library folder, exp.ini and the work folder are in the user's configuration and
# cache folders, and the work folder is gone after close. The browser module (koramo-browser)
# is not installed, so an HTML page clicked in the list must be previewed as its source text
# under the line that says why. Then xdg-open, as a desktop would, must start the program on
# an LZH, a ZIP, a CAB, a 7z and a .tar.gz file, each showing that archive's own members
# (tests/e2e/xdg_open_check.sh).
#
# Usage: tests/e2e/installed_deb.sh PACKAGE.deb [ROOT_DIR]
#   (make the package with scripts/package-deb.sh; needs root, re-runs itself through sudo,
#   and a network; the Debian mirror is the one this machine's apt sources use for bookworm,
#   unless MIRROR=URL names another; KEEP_ROOT=1 keeps the root)
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
  exec sudo --preserve-env=KEEP_ROOT,MIRROR "$0" "$@"
fi
[ $# -ge 1 ] && [ -f "$1" ] || { echo "usage: $0 PACKAGE.deb [ROOT_DIR]" >&2; exit 2; }
deb=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/apt-mirror.sh"
mirror=$(apt_mirror bookworm)
made_root=0
if [ $# -ge 2 ]; then
  root=$(realpath -m "$2"); mkdir -p "$root"
else
  root=$(mktemp -d /var/tmp/koramo-deb.XXXXXX); made_root=1
  chmod 0755 "$root" # the root of the file system, which the ordinary user must enter
fi
for tool in jlha zip gcab 7z tar gzip; do
  command -v $tool >/dev/null || { echo "$tool is needed to make the sample archives" >&2; exit 2; }
done

mounted=()
cleanup() {
  local status=$?
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" || true
  done
  if [ "$made_root" = 1 ] && [ "${KEEP_ROOT:-0}" != 1 ] &&
     ! findmnt -rn -o TARGET | grep -q "^$root/"; then
    rm -rf --one-file-system "$root"
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
mount_in_root() { mkdir -p "$root$3"; if [ "$1" = bind ]; then mount --bind "$2" "$root$3";
  else mount -t "$1" "$2" "$root$3"; fi; mounted+=("$root$3"); }

[ -x "$root/usr/bin/apt-get" ] || debootstrap --variant=minbase bookworm "$root" "$mirror"
mount_in_root proc proc /proc
mount_in_root sysfs sysfs /sys
mount_in_root bind /dev /dev
mount_in_root bind /dev/pts /dev/pts
mount_in_root tmpfs tmpfs /dev/shm
cp -L /etc/resolv.conf "$root/etc/resolv.conf"

# The package, sample archives made outside (no archiver is installed in the root), each with
# a member of its own (only-lzh.txt, ...) besides one.txt and sub/two.txt, an HTML page, and
# the accessibility readers.
cp "$deb" "$root/tmp/koramo.deb"
samples="sample.lzh sample.zip sample.cab sample.7z sample.tar.gz sample.html"
sample=$(mktemp -d)
(cd "$sample" && mkdir sub && echo one > one.txt && echo two > sub/two.txt &&
 for e in lzh zip cab 7z tgz; do echo "$e" > "only-$e.txt"; done &&
 jlha aq sample.lzh one.txt sub/two.txt only-lzh.txt >/dev/null &&
 zip -q sample.zip one.txt sub/two.txt only-zip.txt &&
 gcab -c sample.cab one.txt sub/two.txt only-cab.txt &&
 7z a -bd -bso0 sample.7z one.txt sub/two.txt only-7z.txt &&
 tar -czf sample.tar.gz one.txt sub/two.txt only-tgz.txt &&
 printf '<!DOCTYPE html>\n<html><head><title>page</title></head>\n<body><p>koramo sample page</p></body></html>\n' >sample.html)
for f in $samples; do cp "$sample/$f" "$root/tmp/"; done
rm -rf "$sample"
for f in read_members.py read_text.py click_item.py xdg_open_check.sh; do
  cp "$here/$f" "$root/tmp/$f"
done

in_root() { chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive \
  PATH=/usr/sbin:/usr/bin:/sbin:/bin "$@"; }
in_root apt-get update -q
in_root apt-get install -y -q /tmp/koramo.deb
# The tools of this check only, not the program's: a display, the accessibility bus, checks.
in_root apt-get install -y -q --no-install-recommends xvfb xauth dbus-x11 at-spi2-core \
  python3-pyatspi xdotool desktop-file-utils appstream procps
# What a desktop opens files with: xdg-open, with the shared MIME database's types (mimetype).
in_root apt-get install -y -q --no-install-recommends xdg-utils libfile-mimeinfo-perl
in_root desktop-file-validate /usr/share/applications/koramo.desktop
in_root appstreamcli validate --no-net /usr/share/metainfo/io.github.koramo.koramo.metainfo.xml
in_root useradd -m user
for f in $samples; do
  in_root install -o user -g user -m 0644 "/tmp/$f" "/home/user/$f"
done
# An exp.ini brought from elsewhere, put in the configuration folder: window size recording on.
in_root install -d -o user -g user -m 0700 /home/user/.config /home/user/.config/koramo
printf '[window]\r\nsize=1\r\n' > "$root/home/user/.config/koramo/exp.ini"
in_root chown user:user /home/user/.config/koramo/exp.ini

in_root su - user -c 'set -eu
  export LANG=C.UTF-8 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QTWEBENGINE_DISABLE_SANDBOX=1
  xvfb-run -a -s "-screen 0 1024x768x24" dbus-launch --exit-with-session sh -c "
    cd /tmp && koramo & pid=\$!
    status=0
    python3 /tmp/click_item.py sample.lzh || status=1
    python3 /tmp/read_members.py one.txt two.txt only-lzh.txt || status=1
    test ! -e /usr/lib/koramo/libkoramo_webengine.so || { echo FAIL: the browser module is installed; status=1; }
    python3 /tmp/click_item.py sample.html || status=1
    python3 /tmp/read_text.py \"<p>koramo sample page</p>\" \
      \"HTML 表示モジュールがインストールされていないため、テキストとして表示しています。\" || status=1
    test -f /usr/share/koramo/help.html || { echo FAIL: no help document in /usr/share/koramo; status=1; }
    grep -q /usr/lib/koramo/libunlha32.so /proc/\$pid/maps || { echo FAIL: library not loaded from /usr/lib/koramo; status=1; }
    ls -d \$HOME/.cache/koramo/temp/koramo-* >/dev/null || { echo FAIL: no work folder in the cache folder; status=1; }
    kill -TERM \$pid; wait \$pid || status=1
    [ ! -e \$HOME/.cache/koramo/temp ] || { echo FAIL: the work folder is still there; status=1; }
    grep -q ^saidai= \$HOME/.config/koramo/exp.ini || { echo FAIL: exp.ini in the configuration folder not used; status=1; }
    exit \$status"'
# The menu entry's associations: xdg-open on each archive starts the program showing its members.
in_root su - user -c 'export LANG=C.UTF-8 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
  xvfb-run -a -s "-screen 0 1024x768x24" dbus-launch --exit-with-session /tmp/xdg_open_check.sh'
echo "PASS: installed with apt, started as an ordinary user, listed the archive's members," \
  "showed an HTML page as text without the browser module, xdg-open started it on LZH, ZIP," \
  "CAB, 7z and .tar.gz files showing their members"
