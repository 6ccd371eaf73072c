#!/usr/bin/env bash
# Builds the Windows release into dist/: for each architecture, release
# binaries without the test hooks (build/release-<arch>), an installer (with
# the Start-menu entry's SorvaneSettings.exe and the CloseSorvane.exe helper)
# and a zip with the two programs and a read-me.
#   tools/release.sh [win64] [win32]     (default: both)
# The version comes from project() in CMakeLists.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
./tools/install-deps.sh

archs=("$@")
[ ${#archs[@]} -gt 0 ] || archs=(win64 win32)
mkdir -p dist

for arch in "${archs[@]}"; do
  case $arch in
    win64|win32) ;;
    *) echo "release.sh: unknown architecture '$arch' (win64 or win32)" >&2; exit 2 ;;
  esac
  tree=build/release-$arch
  cmake --preset "release-$arch" >/dev/null
  cmake --build --preset "release-$arch" -j "$(nproc)"
  version=$(project_version "$tree")
  [ -n "$version" ] || { echo "release.sh: no version in $tree" >&2; exit 1; }

  # A released program must not act on the test hooks' variables, nor lack
  # its version information.
  for exe in Sorvane.scr Sorvane.dll SorvaneSettings.exe CloseSorvane.exe; do
    bin=$tree/bin/$exe
    # Whole texts, not a pipe into grep -q: with pipefail, an early match could
    # read as a failure.
    narrow=$(strings -a "$bin")
    wide=$(strings -a -el "$bin")
    for hook in SORVANE_PREVIEW_SNAPSHOT SORVANE_CURSOR_TRACE; do
      if grep -q "$hook" <<<"$narrow$wide"; then
        echo "release.sh: $bin holds the test hook $hook" >&2; exit 1
      fi
    done
    grep -qx "$version" <<<"$wide" ||
      { echo "release.sh: $bin carries no version $version" >&2; exit 1; }
  done

  stage=$tree/stage
  rm -rf "$stage" && mkdir -p "$stage"
  cp "$tree/bin/Sorvane.scr" "$tree/bin/Sorvane.dll" "$tree/bin/SorvaneSettings.exe" \
    "$tree/bin/CloseSorvane.exe" "$stage/"
  # The read-me as Windows' Notepad reads it: UTF-8 with its mark, CRLF lines.
  sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$arch/g" -e 's/$/\r/' installer/ReadMe.txt >"$stage/ReadMe.txt"

  zip_file=dist/Sorvane-$version-$arch.zip
  rm -f "$zip_file"
  (cd "$stage" && zip -q -X "$OLDPWD/$zip_file" Sorvane.scr Sorvane.dll ReadMe.txt)

  makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DARCH="$arch" -DBINDIR="$PWD/$stage" \
    -DOUTFILE="$PWD/dist/Sorvane-$version-$arch-setup.exe" installer/Sorvane.nsi
  echo "release.sh: dist/Sorvane-$version-$arch-setup.exe and $zip_file"
done
