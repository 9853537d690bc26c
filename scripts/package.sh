#!/usr/bin/env bash
# Builds the Debian package build/kz-orba-ctrl_<version>_<arch>.deb with CPack, its library
# dependencies found by dpkg-shlibdeps. Reuses the build tree of scripts/build.sh (built first
# when needed); BUILD_DIR picks another. Then: apt-get install ./build/kz-orba*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
if [ ! -f "$build/CMakeCache.txt" ]; then
  bash "$root/scripts/build.sh"
else
  cmake --build "$build" -j "$(nproc)"
fi
cd "$build"
rm -f kz-orba-ctrl_*.deb
cpack -G DEB -B "$build" >/dev/null
rm -rf "$build/_CPack_Packages"
deb=$(ls "$build"/kz-orba-ctrl_*.deb)
echo "$deb"
