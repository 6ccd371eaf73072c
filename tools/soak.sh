#!/usr/bin/env bash
# Soak: runs the saver N times in a row under Wine (default 100): start it with
# /s, let it run a moment, end it with Escape (odd runs) or a close request to
# the engine window (even runs). Then checks that no process of the run is left,
# that every run hid the cursor once and showed it once (the counter back at 0),
# and that the settings file is byte for byte as it was. Not part of CI (long).
#   tools/soak.sh [RUNS]      SORVANE_BUILD_DIR picks the win64 build tree.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
runs=${1:-100}
build=$(realpath "${SORVANE_BUILD_DIR:-build/win64}")
work=$(mktemp -d /tmp/sorvane-soak.XXXXXX)
# A prefix of its own: Wine programs of one prefix see each other's windows,
# and the soak must neither disturb nor be disturbed by tests running meanwhile.
export SORVANE_WINEPREFIX=${SORVANE_WINEPREFIX:-$build/soak-wineprefix}
cp "$build/bin/Sorvane.scr" "$build/bin/Sorvane.dll" "$work/"
printf '[Section]\r\nBGM\x8b\xe6\x95\xaa=0\r\nBGM\xd8\xcb\xdf\xb0\xc4=4\r\nBGM\xcc\xa7\xb2\xd9=\r\n' >"$work/Sorvane.ini"
ini_sum=$(sha256sum <"$work/Sorvane.ini")

xvfb_pid=""
display_ok || start_display || true
cleanup() {
  stop_wine "$SORVANE_WINEPREFIX"
  stop_display
  rm -rf "$work"
}
trap cleanup EXIT

export SORVANE_CURSOR_TRACE="Z:${work//\//\\}\\cursor.txt"
failures=0
engine_missed=0
start_all=$(date +%s.%N)
for i in $(seq 1 "$runs"); do
  t0=$(date +%s.%N)
  "$PWD/tools/wine-run.sh" "$work/Sorvane.scr" /s &
  scr=$!
  id=""
  for _ in $(seq 1 200); do
    id=$(xdotool search --name '^SorvaneVC$' 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && break
    sleep 0.1
  done
  if [ -z "$id" ]; then
    echo "run $i: no engine window"; failures=$((failures + 1))
  else
    sleep 0.5
    if [ $((i % 2)) -eq 1 ]; then
      xdotool key --window "$id" Escape
    else
      # Closing through the window's own close command (Alt+F4 reaches Wine as
      # WM_CLOSE); destroying the X window would leave the Win32 window alive.
      xdotool key --window "$id" alt+F4
    fi
  fi
  ok=0
  for attempt in 1 2; do
    for _ in $(seq 1 150); do
      kill -0 "$scr" 2>/dev/null || { ok=1; break; }
      sleep 0.1
    done
    [ $ok -eq 1 ] && break
    # Still running: tell an engine that missed its close from a saver that
    # outlived its engine; the former gets an Escape and one more chance.
    id=$(xdotool search --name '^SorvaneVC$' 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ] && [ "$attempt" -eq 1 ]; then
      echo "run $i: the engine window was still up after the close; Escape again"
      engine_missed=$((engine_missed + 1))
      xdotool key --window "$id" Escape
    else
      [ -z "$id" ] && echo "run $i: the saver outlived its engine window"
      break
    fi
  done
  if [ $ok -eq 0 ]; then
    echo "run $i: the saver did not end"; failures=$((failures + 1))
    stop_wine "$SORVANE_WINEPREFIX"  # this prefix only
  fi
  wait "$scr" 2>/dev/null || true
  printf 'run %d: %.2f s\n' "$i" "$(echo "$(date +%s.%N) - $t0" | bc)"
done
elapsed=$(echo "$(date +%s.%N) - $start_all" | bc)

sleep 1
left=$(pgrep -af -- "$work" || true)
hides=$(grep -c '^hide -1$' "$work/cursor.txt" || true)
shows=$(grep -c '^show 0$' "$work/cursor.txt" || true)
lines=$(wc -l <"$work/cursor.txt")
echo "soak: $runs runs in ${elapsed} s; cursor: $hides hide -1, $shows show 0, $lines lines"
[ -z "$left" ] || { echo "left running:"; echo "$left"; failures=$((failures + 1)); }
if [ "$hides" -ne "$runs" ] || [ "$shows" -ne "$runs" ] || [ "$lines" -ne $((2 * runs)) ]; then
  echo "cursor counts unbalanced"; failures=$((failures + 1))
fi
[ "$(sha256sum <"$work/Sorvane.ini")" = "$ini_sum" ] || { echo "settings file changed"; failures=$((failures + 1)); }
echo "soak: $failures failure(s); $engine_missed close(s) the engine missed and took on the second try"
[ "$failures" -eq 0 ]
