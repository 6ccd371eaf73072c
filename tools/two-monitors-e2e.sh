#!/usr/bin/env bash
# Runs a Windows test program under Wine on a desktop of two monitors: an X
# server with two 1024x768 monitors side by side (two-monitors.sh, needs root)
# on a free display among :25-:29, its root painted red so that a test sees
# what covers it, and a Wine prefix of its own (a prefix keeps the display its
# first program used).
#   two-monitors-e2e.sh PROGRAM.exe [ARGS...]
# Fails when the X server cannot be started: these tests never pass unseen.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tools/lib.sh
. "$here/lib.sh"
prog=${1:?usage: two-monitors-e2e.sh PROGRAM.exe [ARGS...]}; shift
bindir=$(cd "$(dirname "$prog")" && pwd)

disp=""
for n in 25 26 27 28 29; do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  disp=":$n"; break
done
[ -n "$disp" ] || { echo "two-monitors-e2e: no free display among :25-:29" >&2; exit 1; }

export SORVANE_WINEPREFIX=${SORVANE_TWO_MONITORS_PREFIX:-$(dirname "$bindir")/wineprefix-two-monitors}
cleanup() {
  stop_wine "$SORVANE_WINEPREFIX"
  "$here/two-monitors.sh" stop "$disp" || true
}
trap cleanup EXIT
# A server left from an earlier run would hold the prefix on another display.
stop_wine "$SORVANE_WINEPREFIX"

if ! "$here/two-monitors.sh" start "$disp" >/dev/null; then
  echo "two-monitors-e2e: the two-monitor X server did not start on $disp" >&2
  exit 1
fi
DISPLAY=$disp xsetroot -solid red || { echo "two-monitors-e2e: xsetroot failed" >&2; exit 1; }

DISPLAY=$disp "$here/wine-run.sh" "$prog" "$@"
