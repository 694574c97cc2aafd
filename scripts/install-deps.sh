#!/usr/bin/env bash
# Installs every Debian 12 package that コラモ, its archiver libraries, its tests and its
# benchmarks need. Safe to run again: apt-get skips what is already installed.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake pkg-config ninja-build git
  # Qt 6: widgets, print support, WebEngine, Japanese translations of Qt's own texts
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools
  qt6-translations-l10n libgl-dev libegl-dev libxkbcommon-dev
  # media: GStreamer playbin with WAV, AVI and MIDI (FluidSynth + General MIDI sound font)
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  timgm6mb-soundfont
  # the further previews: PDF (Qt PDF), WebP and TIFF pictures (Qt's image plugins), SVG, and
  # AAC and H.264 in MP4, MKV and M4A (FFmpeg's decoders for GStreamer)
  qt6-pdf-dev qt6-svg-dev qt6-image-formats-plugins gstreamer1.0-libav
  # desktop services, archives, code pages
  libglib2.0-dev libarchive-dev libgcab-dev libicu-dev zlib1g-dev libisal-dev libx11-dev shared-mime-info
  # fonts so Japanese renders
  fonts-noto-cjk
  # tests: GoogleTest, a display server for end-to-end runs, screenshots
  libgtest-dev xvfb xauth x11-utils imagemagick
  # a window manager under Xvfb, so that screenshots of dialogs show their title bars
  openbox
  # clicking and typing into the program under Xvfb when trying it as a user would
  xdotool
  # the format check of the tracked sources (tests/lint)
  clang-format
  # fuzzing the archive parsers with libFuzzer (clang's runtime)
  clang libclang-rt-14-dev
  # independent archivers used as test oracles and benchmark peers
  lhasa libarchive-tools jlha-utils cabextract gcab zip unzip python3
  # makers of the read-only formats: 7z, tar compressors, ISO 9660 images
  p7zip-full xz-utils bzip2 zstd genisoimage
  # bench/soak: memory over 10,000 selections
  heaptrack
  # scripts/ci-in-debootstrap.sh: .ci/run in a fresh minimal Debian 12 root
  debootstrap
  # scripts/package-deb.sh, scripts/check-reproducible.sh: dpkg-buildpackage with debhelper
  # (debian/), icons drawn from the SVG, and the checks of the package (hardening-check is in
  # devscripts)
  dpkg-dev debhelper devscripts librsvg2-bin desktop-file-utils appstream lintian
  # the printing test reads the text back out of the PDF it printed
  poppler-utils
  # makers of the previews' test documents: PDF (Ghostscript), WebP (cwebp, img2webp), media
  ghostscript webp ffmpeg
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: every package is already installed"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
