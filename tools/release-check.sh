#!/usr/bin/env bash
# CI stage for the Windows release: builds it (tools/release.sh, both
# architectures; the 32-bit one is only compiled, it cannot run here), signed
# with a throwaway certificate, and checks
#  - every signature: the programs, the setups, the programs in the zips and
#    the programs the win64 setup installs, its uninstaller too;
#  - that the release is reproducible: a second clone at another path builds
#    the win64 release again, later, in another time zone and umask, without
#    the compiler cache, and gives the same bytes (the win32 build is compiled
#    and packed by the same flags and steps);
#  - the win64 installer end to end under Wine in a fresh prefix.
# Needs the win64 preset configured (tools/test-all.sh does that first).
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
status=0
fail() { echo "release-check: $*" >&2; status=1; }

scratch=$(mktemp -d /tmp/sorvane-release-check.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
# A throwaway code-signing certificate, its key in a PKCS#12 file with a password.
keys=$scratch/keys
mkdir "$keys"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Sorvane release check" \
  -addext extendedKeyUsage=codeSigning -keyout "$keys/key.pem" -out "$keys/cert.pem" 2>/dev/null
head -c 24 /dev/urandom | base64 >"$keys/password"
openssl pkcs12 -export -inkey "$keys/key.pem" -in "$keys/cert.pem" -out "$keys/sign.pfx" \
  -passout "file:$keys/password"
export SORVANE_SIGN_PFX=$keys/sign.pfx SORVANE_SIGN_PASSWORD_FILE=$keys/password

./tools/release.sh win64 win32
version=$(project_version build/release-win64)

# signed FILE...: each carries a signature that the throwaway certificate made.
signed() {
  local f
  for f in "$@"; do
    osslsigncode verify -CAfile "$keys/cert.pem" -in "$f" >"$scratch/verify.log" 2>&1 ||
      { fail "$f: no valid signature"; cat "$scratch/verify.log" >&2; }
  done
}
# The check itself can fail: an unsigned program does not pass.
if osslsigncode verify -CAfile "$keys/cert.pem" -in build/release-win64/bin/Sorvane.scr >/dev/null 2>&1; then
  fail "an unsigned program passes the signature check"
fi
for arch in win64 win32; do
  stage=build/release-$arch/stage
  signed "$stage/Sorvane.scr" "$stage/Sorvane.dll" "$stage/SorvaneSettings.exe" "$stage/CloseSorvane.exe" \
    "dist/Sorvane-$version-$arch-setup.exe"
  mkdir "$scratch/zip-$arch"
  unzip -q "dist/Sorvane-$version-$arch.zip" -d "$scratch/zip-$arch"
  signed "$scratch/zip-$arch/Sorvane.scr" "$scratch/zip-$arch/Sorvane.dll"
  # Neither this checkout's folder nor the build tree's is in a program.
  # (Whole texts: grep -q in a pipe would end strings early, and pipefail fail it.)
  for f in "$stage"/*.scr "$stage"/*.dll "$stage"/*.exe; do
    text=$(strings -a "$f"; strings -a -el "$f")
    if grep -qF "$PWD" <<<"$text"; then
      fail "$f holds the build path $PWD"
    fi
  done
done
# dist/SHA256SUMS lists every other file of dist/, each with its right sum.
listed=$(awk '{print $2}' dist/SHA256SUMS | LC_ALL=C sort)
present=$(cd dist && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%f\n' | LC_ALL=C sort)
[ "$listed" = "$present" ] || fail "dist/SHA256SUMS lists '$listed', dist/ holds '$present'"
(cd dist && sha256sum --quiet -c SHA256SUMS) || fail "dist/SHA256SUMS does not match dist/"

# The same commit (with this checkout's uncommitted changes) built again.
# Untracked files are not carried over.
again=$scratch/clone
git clone -q . "$again"
git -C "$again" checkout -q --detach "$(git rev-parse HEAD)"
if ! git diff --quiet HEAD; then
  git diff --binary HEAD | git -C "$again" apply
fi
sleep 1
(cd "$again" && umask 0077 && TZ=Asia/Tokyo CCACHE_DISABLE=1 ./tools/release.sh win64 >"$scratch/again.log" 2>&1) ||
  { cat "$scratch/again.log" >&2; fail "the second release build failed"; }
for f in "$again"/dist/* "$again"/build/release-win64/stage/*; do
  mine=${f#"$again"/}
  [ "$mine" = dist/SHA256SUMS ] && continue
  cmp -s "$f" "$mine" || fail "$mine differs between two builds of the same commit"
done
grep -F -e "-win64" dist/SHA256SUMS | cmp -s - "$again/dist/SHA256SUMS" ||
  fail "the two builds' SHA256SUMS differ"

cmake --build build/win64 --target installer_e2e_test -j "$(nproc)"
work=$PWD/build/installer-test
prefix=$work/wineprefix
mkdir -p "$work"
# A fresh prefix every time: the test starts from a machine without Sorvane.
stop_wine "$prefix"
rm -rf "$prefix"
cp build/win64/bin/installer_e2e_test.exe "$work/"

# Wine would also add Start-menu entries to this machine's own desktop menus.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
export SORVANE_WINEPREFIX=$prefix
setup=$PWD/dist/Sorvane-$version-win64-setup.exe
release_bin=$PWD/build/release-win64/stage
export SORVANE_SETUP="Z:${setup//\//\\}"
export SORVANE_RELEASE_BIN="Z:${release_bin//\//\\}"
export SORVANE_VERSION=$version
./tools/wine-run.sh "$work/installer_e2e_test.exe" || status=1

# What the setup writes is signed too, the uninstaller it writes included.
installed=$prefix/drive_c/SorvaneSigned
rm -rf "$installed"
./tools/wine-run.sh "$setup" /S '/D=C:\SorvaneSigned' || fail "the silent installation failed"
signed "$installed/Sorvane.scr" "$installed/Sorvane.dll" "$installed/SorvaneSettings.exe" \
  "$installed/Uninstall.exe"
stop_wine "$prefix"
[ $status -eq 0 ] && echo "release-check: signatures, reproducibility and installer passed"
exit $status
