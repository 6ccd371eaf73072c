#!/usr/bin/env bash
# Builds the Windows release into dist/: for each architecture, release
# binaries without the test hooks (build/release-<arch>), an installer (with
# the Start-menu entry's SorvaneSettings.exe and the CloseSorvane.exe helper)
# and a zip with the two programs and a read-me.
#   tools/release.sh [win64] [win32]     (default: both)
# The version comes from project() in CMakeLists.txt. dist/ holds this run's
# files only, listed in dist/SHA256SUMS.
# With SORVANE_SIGN_PFX set, every program and setup is signed (see
# tools/release-sign.sh for the other variables); without it the release is
# built unsigned. Two runs on the same commit give the same bytes: every file
# gets the time SOURCE_DATE_EPOCH (by default the commit's).
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
./tools/install-deps.sh

archs=("$@")
[ ${#archs[@]} -gt 0 ] || archs=(win64 win32)
source_date_epoch
sign=""
if [ -n "${SORVANE_SIGN_PFX:-}" ]; then
  for f in "$SORVANE_SIGN_PFX" ${SORVANE_SIGN_PASSWORD_FILE:+"$SORVANE_SIGN_PASSWORD_FILE"}; do
    [ -r "$f" ] || { echo "release.sh: cannot read $f" >&2; exit 1; }
  done
  sign=$PWD/tools/release-sign.sh
  echo "release.sh: signing with $SORVANE_SIGN_PFX${SORVANE_SIGN_TIMESTAMP_URL:+, timestamps from $SORVANE_SIGN_TIMESTAMP_URL}"
else
  echo "release.sh: SORVANE_SIGN_PFX is not set: this release is NOT signed"
fi
rm -rf dist
mkdir dist

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
    # Nor may it hold the folder it was built in.
    ! grep -qF "$PWD" <<<"$narrow$wide" || { echo "release.sh: $bin holds the path $PWD" >&2; exit 1; }
    grep -qx "$version" <<<"$wide" ||
      { echo "release.sh: $bin carries no version $version" >&2; exit 1; }
  done

  stage=$tree/stage
  rm -rf "$stage" && mkdir -p "$stage"
  programs=(Sorvane.scr Sorvane.dll SorvaneSettings.exe CloseSorvane.exe)
  for exe in "${programs[@]}"; do cp "$tree/bin/$exe" "$stage/"; done
  # Signed here, before the zip and the setup take them.
  [ -z "$sign" ] || (cd "$stage" && "$sign" "${programs[@]}")
  # The read-me as Windows' Notepad reads it: UTF-8 with its mark, CRLF lines.
  sed -e "s/@VERSION@/$version/g" -e "s/@ARCH@/$arch/g" -e 's/$/\r/' installer/ReadMe.txt >"$stage/ReadMe.txt"
  # The zip and the setup store each file's time (and the zip its mode).
  chmod 0644 "$stage"/*
  touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*

  zip_file=dist/Sorvane-$version-$arch.zip
  # zip writes local time: the same in every time zone only in UTC.
  (cd "$stage" && TZ=UTC zip -q -X "$OLDPWD/$zip_file" Sorvane.scr Sorvane.dll ReadMe.txt)

  setup=dist/Sorvane-$version-$arch-setup.exe
  makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DARCH="$arch" -DBINDIR="$PWD/$stage" \
    ${sign:+-DSIGN="$sign"} -DOUTFILE="$PWD/$setup" installer/Sorvane.nsi
  [ -z "$sign" ] || "$sign" "$setup"
  echo "release.sh: $setup and $zip_file"
done

# Every file of dist/, in an order that does not hang on the locale.
sums=$(cd dist && find . -maxdepth 1 -type f -printf '%f\n' | LC_ALL=C sort | xargs -d '\n' sha256sum --)
printf '%s\n' "$sums" >dist/SHA256SUMS
echo "release.sh: dist/SHA256SUMS"
