#!/usr/bin/env bash
# Starts an X server with two 1024x768 monitors side by side (the dummy video
# driver has real RandR outputs; Xvfb has only one), for the tests that check
# that every monitor is covered.
#   tools/two-monitors.sh start :N   -> prints the server's pid once both monitors are up
#   tools/two-monitors.sh stop  :N
# Needs root (the X.Org server) and the packages install-deps.sh installs.
set -euo pipefail
cmd=${1:?start or stop}
disp=${2:?display, e.g. :41}
num=${disp#:}
dir=/tmp/sorvane-two-monitors-$num
case "$cmd" in
  start)
    mkdir -p "$dir"
    cat >"$dir/xorg.conf" <<'CONF'
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Monitor"
  Identifier "mon"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "mon"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 2048 768
  EndSubSection
EndSection
CONF
    Xorg "$disp" -config "$dir/xorg.conf" -noreset -nolisten tcp -logfile "$dir/Xorg.log" \
      >/dev/null 2>&1 &
    pid=$!
    echo "$pid" >"$dir/pid"
    for _ in $(seq 1 100); do
      DISPLAY=$disp xrandr >/dev/null 2>&1 && break
      kill -0 "$pid" 2>/dev/null || { echo "Xorg $disp did not start; see $dir/Xorg.log" >&2; exit 1; }
      sleep 0.1
    done
    DISPLAY=$disp xrandr --addmode DUMMY1 1024x768 2>/dev/null || true
    DISPLAY=$disp xrandr --output DUMMY0 --mode 1024x768 --primary \
      --output DUMMY1 --mode 1024x768 --right-of DUMMY0
    n=$(DISPLAY=$disp xrandr --listmonitors | sed -n 's/^Monitors: //p')
    [ "$n" = 2 ] || { echo "expected 2 monitors on $disp, got $n" >&2; kill "$pid"; exit 1; }
    echo "$pid"
    ;;
  stop)
    if [ -f "$dir/pid" ]; then kill "$(cat "$dir/pid")" 2>/dev/null || true; fi
    rm -rf "$dir"
    ;;
  *) echo "usage: $0 start|stop :N" >&2; exit 2 ;;
esac
