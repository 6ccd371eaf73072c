#!/usr/bin/env bash
# Builds the Windows programs and runs the screen saver under Wine.
#   tools/run.sh
# Installs what is missing, builds the win64 preset, then runs
# "Sorvane.scr /s" (or, until the saver is built, the engine Sorvane.dll alone).
# With a display it just runs it: press Escape (or switch away) to end it.
# Without one it uses a virtual display, saves a screenshot a few seconds in,
# presses Escape in the engine window and reports how the run ended.
# Environment: SORVANE_SHOT_AFTER (seconds before the screenshot, default 4),
# SORVANE_BUILD_DIR (the win64 build tree, default build/win64).
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh

./tools/install-deps.sh || { echo "run.sh: installing the dependencies failed" >&2; exit 1; }

build=$(realpath -m "${SORVANE_BUILD_DIR:-build/win64}")
cmake --preset win64 -B "$build" >/dev/null || { echo "run.sh: configuring win64 failed" >&2; exit 1; }
if ! cmake --build "$build" -j "$(nproc)"; then
  echo "run.sh: the full win64 build failed; building the programs alone" >&2
  cmake --build "$build" -j "$(nproc)" --target sorvane_engine || true
  cmake --build "$build" -j "$(nproc)" --target sorvane_scr || true
fi

bin=$build/bin
if [ -f "$bin/Sorvane.scr" ]; then
  prog=("$bin/Sorvane.scr" /s)
  what="Sorvane.scr /s"
elif [ -f "$bin/Sorvane.dll" ]; then
  prog=("$bin/Sorvane.dll")
  what="Sorvane.dll (the saver is not built yet)"
else
  echo "run.sh: neither Sorvane.scr nor Sorvane.dll was built" >&2
  exit 1
fi

if display_ok; then
  echo "run.sh: running $what on $DISPLAY"
  exec ./tools/wine-run.sh "${prog[@]}"
fi

# No display: a virtual one of our own, closed again at the end.
xvfb_pid=""
wine_pid=""
# shellcheck disable=SC2317  # run by the trap
cleanup() {
  [ -z "$wine_pid" ] || kill "$wine_pid" 2>/dev/null || true
  stop_wine "$build/wineprefix"
  stop_display
}
trap cleanup EXIT
start_display || { echo "run.sh: Xvfb did not start" >&2; exit 1; }
echo "run.sh: no display; running $what on a virtual one ($DISPLAY, 1024x768)"

start=$(date +%s.%N)
./tools/wine-run.sh "${prog[@]}" &
wine_pid=$!

# The engine's window, by its title.
id=""
for _ in $(seq 1 300); do
  id=$(xdotool search --name '^SorvaneVC$' 2>/dev/null | head -1 || true)
  [ -n "$id" ] && break
  kill -0 "$wine_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$id" ]; then
  echo "run.sh: no SorvaneVC window appeared" >&2
  code=0; wait "$wine_pid" || code=$?
  echo "run.sh: the program ended with exit code $code"
  exit 1
fi

sleep "${SORVANE_SHOT_AFTER:-4}"
shot=$build/run-screenshot.png
if import -window root "$shot" 2>/dev/null; then
  echo "run.sh: screenshot $shot"
else
  echo "run.sh: could not take a screenshot" >&2
fi

echo "run.sh: pressing Escape in the SorvaneVC window"
pressed=$(date +%s.%N)
xdotool key --window "$id" Escape 2>/dev/null || true
ended=""
for _ in $(seq 1 150); do
  kill -0 "$wine_pid" 2>/dev/null || { ended=yes; break; }
  sleep 0.1
done
if [ -z "$ended" ]; then
  echo "run.sh: still running 15 s after Escape; stopping it" >&2
  exit 1
fi
code=0; wait "$wine_pid" || code=$?
wine_pid=""
now=$(date +%s.%N)
# (Wine with no window manager spends about 2 s taking the window down.)
awk -v n="$now" -v p="$pressed" -v s="$start" -v c="$code" 'BEGIN {
  printf "run.sh: the program ended %.1f s after Escape (%.1f s in all) with exit code %d\n", n - p, n - s, c }'
exit "$code"
