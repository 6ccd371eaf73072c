# shellcheck shell=bash
# Sourced by the scripts of tools/: the things several of them do, done one way.

# display_ok [DISPLAY]: that X display (default $DISPLAY) answers.
display_ok() {
  local d=${1-${DISPLAY:-}}
  [ -n "$d" ] && DISPLAY=$d xdpyinfo >/dev/null 2>&1
}

# start_display: starts a private Xvfb (1024x768) on a display number it picks
# itself, exports DISPLAY and leaves the server's pid in xvfb_pid. Fails (with
# xvfb_pid "") when none came up. The server outlives the script unless it is
# killed: stop_display does that.
start_display() {
  local out n=""
  out=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$out" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 150); do
    n=$(head -n 1 "$out")
    [ -n "$n" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$out"
  if [ -n "$n" ] && display_ok ":$n"; then
    export DISPLAY=":$n"
    return 0
  fi
  kill "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
  return 1
}

# stop_display: ends the Xvfb start_display started, if any.
stop_display() {
  [ -z "${xvfb_pid:-}" ] || kill "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
}

# stop_wine PREFIX...: ends the Wine server (and so every program) of each
# prefix that exists; other prefixes are left alone.
stop_wine() {
  local p
  for p in "$@"; do
    [ ! -d "$p" ] || WINEPREFIX=$p wineserver -k 2>/dev/null || true
  done
}

# project_version TREE: the version project() gave in that configured build tree.
project_version() {
  sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"
}

# source_date_epoch: exports SOURCE_DATE_EPOCH, the one time a release's files
# carry, so that two builds of a commit are the same bytes: as given, or else
# the time of the checkout's last commit.
source_date_epoch() {
  if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct) || return 1
  fi
  [[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || { echo "SOURCE_DATE_EPOCH is no time: $SOURCE_DATE_EPOCH" >&2; return 1; }
  export SOURCE_DATE_EPOCH
}
