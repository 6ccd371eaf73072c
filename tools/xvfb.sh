# Sourced: start_xvfb FIRST LAST starts an Xvfb (1024x768) on the first free
# display number in FIRST..LAST that answers, exports DISPLAY and leaves its
# process id in xvfb_pid ("" when none came up).
start_xvfb() {
  xvfb_pid=""
  local n
  for n in $(seq "$1" "$2"); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    xdpyinfo >/dev/null 2>&1 && return 0
    kill "$xvfb_pid" 2>/dev/null || true; xvfb_pid=""
  done
}
