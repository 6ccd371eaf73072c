#!/usr/bin/env bash
# Runs one Windows program under Wine the way the project's tests need it:
# the build tree's own prefix, the Japanese locale (so the ANSI code page is 932),
# and an X display (a private Xvfb is started when there is none).
#   wine-run.sh PROGRAM.exe [ARGS...]
# Environment: SORVANE_WINEPREFIX overrides the prefix (default: <bin>/../wineprefix);
# SORVANE_WINE_LANG another locale (en_US.UTF-8 gives code page 1252; a generated
# UTF-8 locale is needed for non-ASCII file names). Wine takes the code page from
# the locale of each process; tests of another locale use a prefix of their own
# so that their Wine server and settings stay apart.
set -euo pipefail
# shellcheck source=tools/lib.sh
. "$(dirname "$0")/lib.sh"
prog=${1:?usage: wine-run.sh PROGRAM.exe [ARGS...]}; shift
bindir=$(cd "$(dirname "$prog")" && pwd)
export WINEPREFIX=${SORVANE_WINEPREFIX:-$(dirname "$bindir")/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export LANG=${SORVANE_WINE_LANG:-ja_JP.UTF-8}
export LC_ALL=$LANG
# No Mono or Gecko installer dialogs in a new prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
# Wine's 64-bit loader: the 32-bit one cannot run on this kernel.
WINE=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
[ -x "$WINE" ] || WINE=/usr/lib/wine/wine64

state=$(dirname "$WINEPREFIX")
mkdir -p "$state"
exec 9>"$state/.wine-run.lock"

# Without a display, one Xvfb per build tree, left running for the next
# program of the tree (a test run starts hundreds of them).
if ! display_ok; then
  flock 9
  d=$(cat "$state/.xvfb-display" 2>/dev/null || true)
  if ! display_ok "$d"; then
    d=""
    start_display 9>&- && d=$DISPLAY && echo "$d" >"$state/.xvfb-display"
  fi
  flock -u 9
  export DISPLAY=$d
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$WINE" wineboot -i >/dev/null 2>&1 || true
    case $LANG in
      ja_*) ;;
      *)
        # As on a Windows of another language with the Japanese fonts added:
        # the system font links to "MS UI Gothic" for Japanese characters, and
        # Debian's IPA Gothic stands in for it.
        "$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /t REG_SZ \
          /d IPAGothic /f >/dev/null 2>&1 || true ;;
    esac
    wineserver -w 2>/dev/null || true
  fi
  flock -u 9
fi
exec 9>&-

exec "$WINE" "$prog" "$@"
