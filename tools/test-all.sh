#!/usr/bin/env bash
# Installs what is missing, builds the three presets and runs every test:
# the native ones and the win64 ones under Wine (Japanese locale, virtual display).
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/xvfb.sh
./tools/install-deps.sh

jobs=$(nproc)
for preset in linux win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

# One virtual display for the X11 engine tests and for Wine.
xvfb_pid=""
cleanup() {
  for p in build/win64/wineprefix build/win64/wineprefix-en; do
    [ -d "$p" ] && WINEPREFIX=$PWD/$p wineserver -k 2>/dev/null || true
  done
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
if ! xdpyinfo >/dev/null 2>&1; then
  start_xvfb 70 90
fi

status=0
ctest --preset linux -j "$jobs" || status=1
# Wine tests share one prefix and one display: one at a time keeps them honest.
ctest --preset win64 || status=1
./tools/package-check.sh || status=1
./tools/release-check.sh || status=1
./tools/faults-ci.sh || status=1
exit $status
