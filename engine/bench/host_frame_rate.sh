#!/usr/bin/env bash
# Frames per second and CPU seconds per second of an engine on a private
# 1920x1080 Xvfb (Mesa llvmpipe, no vertical blank), one run:
#   host_frame_rate.sh x11 BUILD/bin/sorvane-engine       (the hack, --root)
#   host_frame_rate.sh wine BUILD-win64/bin/Sorvane.dll   (standalone, under Wine)
# Frames are counted by a preloaded glXSwapBuffers wrapper (swap_count.c), CPU
# time from /proc/PID/stat (utime + stime) of the process that draws.
set -euo pipefail
kind=${1:?x11 or wine}; prog=$(realpath "${2:?engine program}")
warm=${WARM:-3}; span=${SPAN:-10}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'kill $epid $xpid 2>/dev/null || true; [ "$kind" = wine ] && WINEPREFIX=$prefix wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
epid=""; prefix=""
cc -O2 -shared -fPIC -o "$work/swap_count.so" "$here/swap_count.c" -ldl
head -c 8 /dev/zero >"$work/count"

exec 3< <(Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp -noreset 2>/dev/null)
xpid=$!
read -r num <&3
export DISPLAY=:$num

env=(SORVANE_SWAP_COUNT="$work/count" LD_PRELOAD="$work/swap_count.so")
if [ "$kind" = x11 ]; then
  env "${env[@]}" "$prog" --root & epid=$!
else
  prefix=${WINEPREFIX:-$(dirname "$(dirname "$prog")")/wineprefix}
  env "${env[@]}" WINEPREFIX="$prefix" WINEDEBUG=-all "$(command -v wine64 || command -v wine)" "$prog" &
  sleep "$warm"
  epid=$(pgrep -x -f "$prog" || true)
  [ -n "$epid" ] || { echo "no engine process" >&2; exit 1; }
fi
sleep "$warm"
ticks=$(getconf CLK_TCK)
read_state() {
  local stat fields; stat=$(cat "/proc/$epid/stat")
  stat=${stat##*) }  # after the command name
  read -r -a fields <<<"$stat"
  cpu=$(( fields[11] + fields[12] ))  # fields 14 and 15, counting the pid and name
  frames=$(od -An -t u8 "$work/count" | tr -d ' ')
  t=$(date +%s.%N)
}
read_state; c0=$cpu f0=$frames t0=$t
sleep "$span"
read_state
awk -v f="$((frames - f0))" -v c="$((cpu - c0))" -v t0="$t0" -v t1="$t" -v hz="$ticks" -v k="$kind" \
  'BEGIN { d = t1 - t0; printf "%s: %.1f frames/s, %.2f CPU s/s over %.1f s\n", k, f / d, c / hz / d, d }'
