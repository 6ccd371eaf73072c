#!/usr/bin/env bash
# Builds the Debian package of the linux preset and checks it: its file list
# and modes, lintian, its computed dependencies, then (as root) installs it with dpkg,
# runs the installed hack, and removes it again leaving nothing behind.
#   tools/package-check.sh            (after `cmake --preset linux`)
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
build=build/linux
cmake --build --preset linux --target package >/dev/null
version=$(project_version "$build")
deb="$build/sorvane_${version}_amd64.deb"
fail() { echo "package-check: $*" >&2; exit 1; }
{ [ -n "$version" ] && [ -f "$deb" ]; } || fail "no package $deb"

# Exactly the hack, its description, manual page, desktop entry and
# documentation, with the modes they need.
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $1, $6}' | sort -k2)
want="-rwxr-xr-x ./usr/libexec/xscreensaver/sorvane
-rw-r--r-- ./usr/share/applications/screensavers/sorvane.desktop
-rw-r--r-- ./usr/share/doc/sorvane/changelog.gz
-rw-r--r-- ./usr/share/doc/sorvane/copyright
-rw-r--r-- ./usr/share/man/man6/sorvane.6x.gz
-rw-r--r-- ./usr/share/xscreensaver/config/sorvane.xml"
[ "$files" = "$want" ] || fail "unexpected contents:"$'\n'"$files"

# Debian's policy checks: no error, no warning (information is shown).
lint=$(lintian --pedantic --info "$deb" 2>&1 | grep -v '^running with root privileges' || true)
[ -n "$lint" ] && echo "$lint" >&2
grep -q '^[EW]: ' <<<"$lint" && fail "lintian reports errors or warnings"

# Dependencies come from the binary (dpkg-shlibdeps): the X and GL libraries
# it links must be there, each with a package name.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libx11-6 libxrandr2 libglx0 libopengl0 libgstreamer1.0-0; do
  grep -qw -- "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = sorvane ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"

if [ "$(id -u)" -ne 0 ]; then
  echo "package-check: $deb checked (not root: dpkg install skipped)"
  exit 0
fi
if dpkg-query -W -f='${Status}' sorvane 2>/dev/null | grep -q 'install ok installed'; then
  echo "package-check: sorvane is installed on this machine already; dpkg install skipped"
  exit 0
fi
# dpkg waits for nobody: retry while another apt or dpkg holds its lock.
dpkg_retry() {
  for _ in $(seq 1 30); do
    out=$(dpkg "$@" 2>&1) && return 0
    grep -q 'lock' <<<"$out" || { echo "$out" >&2; return 1; }
    sleep 2
  done
  echo "$out" >&2
  return 1
}
dpkg_retry -i "$deb" || fail "dpkg -i failed (dependencies not satisfied?)"
trap 'dpkg -r sorvane >/dev/null 2>&1 || true' EXIT
[ "$(dpkg -L sorvane | grep -c '/sorvane')" -ge 2 ] || fail "dpkg -L"
/usr/libexec/xscreensaver/sorvane --help | grep -q -- '--root' || fail "installed hack does not run"
man -w 6x sorvane >/dev/null 2>&1 || fail "man cannot find sorvane(6x)"
if ldd /usr/libexec/xscreensaver/sorvane | grep -q 'not found'; then fail "unresolved libraries"; fi
dpkg_retry -r sorvane || fail "dpkg -r failed"
trap - EXIT
if [ -e /usr/libexec/xscreensaver/sorvane ] || [ -e /usr/share/xscreensaver/config/sorvane.xml ] ||
  [ -e /usr/share/man/man6/sorvane.6x.gz ] || [ -e /usr/share/doc/sorvane ]; then
  fail "files left after removal"
fi
dpkg-query -W -f='${Status}' sorvane 2>/dev/null | grep -q 'install ok installed' && fail "still installed"
echo "package-check: $deb installed and removed cleanly"
