#!/usr/bin/env bash
# Installs what is missing, checks the scripts, builds the three presets with
# warnings as errors and runs every test: the native ones and the win64 ones
# under Wine (Japanese locale, virtual display).
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
./tools/install-deps.sh

status=0
shellcheck tools/*.sh engine/bench/*.sh .ci/run || { echo "test-all: shellcheck found faults in the scripts" >&2; status=1; }

jobs=$(nproc)
for preset in linux win64 win32; do
  cmake --preset "ci-$preset" >/dev/null
  cmake --build --preset "ci-$preset" -j "$jobs"
done

# One virtual display for the X11 engine tests and for Wine.
xvfb_pid=""
# shellcheck disable=SC2317  # run by the trap
cleanup() {
  stop_wine "$PWD/build/win64/wineprefix" "$PWD/build/win64/wineprefix-en"
  stop_display
}
trap cleanup EXIT
display_ok || start_display || true

ctest --preset linux -j "$jobs" || status=1
# Wine tests share one prefix and one display: one at a time keeps them honest.
ctest --preset win64 || status=1
./tools/package-check.sh || status=1
./tools/release-check.sh || status=1
./tools/faults-ci.sh || status=1
exit $status
