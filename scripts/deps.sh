#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on Debian 12, as root.
# pkg-config: Qt's CMake packages find some system libraries through it. clang and its runtime:
# the sanitizer build and the fuzz targets. xvfb, xauth: screenshots and the demo without a
# display. imagemagick, fonts-dejavu-core: scripts/make_artwork.sh. clang-format-14: the format
# check. time: the fleet benchmark's memory and CPU figures. fonts-liberation2,
# fonts-nanum-coding: the stand-ins for the window's fonts. libx11-dev, libxtst-dev: the desktop
# tests inject input at the X server. help2man, file: the manual pages and the package (CPack's
# dpkg-shlibdeps step). desktop-file-utils, appstream, lintian: the package's checks.
# qt6-wayland: the window on Wayland; sway, wtype, grim: its test on a headless compositor.
# xdotool: the package test clicks and types in the installed window. ansible-core, pycodestyle,
# yamllint: the Ansible collection and its offline checks. bash-completion, zsh, fish: the shell
# completions of kz-orba-cli are run in each shell. python3: scripts/leftovers.py, which names the
# processes a test run leaves behind.
# Only asks apt when a package is missing, so repeated runs stay fast.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev
  libgtest-dev
  clang-14 libclang-rt-14-dev clang-format-14
  time
  xvfb xauth imagemagick fonts-dejavu-core
  fonts-liberation2 fonts-nanum-coding
  libx11-dev libxtst-dev xdotool
  help2man file desktop-file-utils appstream lintian
  qt6-wayland sway wtype grim
  ansible-core pycodestyle yamllint
  bash-completion zsh fish
  python3
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
