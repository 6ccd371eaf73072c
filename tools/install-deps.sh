#!/usr/bin/env bash
# Installs everything the builds and tests need on a fresh Debian 12 machine.
# Safe to run again: apt skips what is already there.
set -euo pipefail
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
PKGS=(
  build-essential cmake ninja-build pkg-config git
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 gcc-mingw-w64-i686 gcc-mingw-w64-x86-64
  wine wine64
  xvfb xauth xdotool x11-utils
  libx11-dev libgl1-mesa-dev libglu1-mesa-dev libosmesa6-dev libgl1-mesa-dri mesa-utils
  libxfixes-dev
  libpng-dev zlib1g-dev
  locales imagemagick
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good libasound2 libasound2-plugins
  lame sox
  fonts-ipafont-gothic
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
  xscreensaver xscreensaver-data libxrandr-dev dpkg-dev fakeroot file
  libgstreamer1.0-dev gstreamer1.0-alsa lintian man-db
  nsis zip unzip osslsigncode openssl qemu-user g++-i686-linux-gnu
  clang llvm shellcheck
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# Wine only takes code page 932 when the Japanese locale really exists.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
# The tests that run the Windows build on a non-Japanese system (code page 1252)
# need an English locale; without it Wine cannot read non-ASCII file names.
if ! locale -a 2>/dev/null | grep -qi '^en_US\.utf-\?8$'; then
  $SUDO localedef -i en_US -f UTF-8 en_US.UTF-8
fi
