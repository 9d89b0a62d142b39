#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tunewright need.
# Does nothing when all of them are present already.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libsndfile1-dev portaudio19-dev libglib2.0-dev libgtk-3-dev
  clang libclang-rt-dev
  xvfb xauth openbox imagemagick x11-xkb-utils libxtst-dev xdotool dbus
  pulseaudio pulseaudio-utils libasound2-plugins sox
  librsvg2-bin file gzip python3
  fluidsynth timgm6mb-soundfont csound-soundfont aubio-tools
  desktop-file-utils appstream groff-base man-db lintian
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
