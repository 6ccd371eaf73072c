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
#  - that dist/SHA256SUMS lists every file of dist/;
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
openssl pkcs12 -export -inkey "$keys/key.pem" -in "$keys/cert.pem" -out "$keys/sign.pfx" -passout "file:$keys/password"
export SORVANE_SIGN_PFX=$keys/sign.pfx SORVANE_SIGN_PASSWORD_FILE=$keys/password

./tools/release.sh win64 win32
version=$(project_version build/release-win64)

# signed FILE...: each carries a signature that the throwaway certificate made.
signed() {
  for f; do
    osslsigncode verify -CAfile "$keys/cert.pem" -in "$f" >"$scratch/log" 2>&1 || { fail "$f is not signed"; cat "$scratch/log"; }
  done
}
# The check can fail: an unsigned program does not pass it.
osslsigncode verify -CAfile "$keys/cert.pem" -in build/release-win64/bin/Sorvane.scr >/dev/null 2>&1 &&
  fail "an unsigned program passes"
for arch in win64 win32; do
  stage=build/release-$arch/stage
  signed "$stage"/*.scr "$stage"/*.dll "$stage"/*.exe "dist/Sorvane-$version-$arch-setup.exe"
  unzip -q "dist/Sorvane-$version-$arch.zip" Sorvane.scr Sorvane.dll -d "$scratch/zip-$arch"
  signed "$scratch/zip-$arch/Sorvane.scr" "$scratch/zip-$arch/Sorvane.dll"
done
(cd dist && sha256sum --quiet -c SHA256SUMS && [ "$(wc -l <SHA256SUMS)" = "$(find . -type f ! -name SHA256SUMS | wc -l)" ]) ||
  fail "dist/SHA256SUMS does not list the files of dist/"

# The same commit (with this checkout's uncommitted changes to tracked files)
# built again.
again=$scratch/clone
git clone -q . "$again"
git -C "$again" checkout -q --detach "$(git rev-parse HEAD)"
git diff --quiet HEAD || git diff --binary HEAD | git -C "$again" apply
sleep 1
(cd "$again" && umask 0077 && TZ=Asia/Tokyo CCACHE_DISABLE=1 ./tools/release.sh win64 >"$scratch/log" 2>&1) ||
  { cat "$scratch/log"; fail "the second release build failed"; }
for f in "$again"/dist/*win64* "$again"/build/release-win64/stage/*; do
  cmp -s "$f" "${f#"$again"/}" || fail "${f#"$again"/} differs between two builds of the same commit"
done

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
./tools/wine-run.sh "$setup" /S '/D=C:\SorvaneSigned' || fail "the silent installation failed"
signed "$prefix/drive_c/SorvaneSigned/"{Sorvane.scr,Sorvane.dll,SorvaneSettings.exe,Uninstall.exe}
stop_wine "$prefix"
[ $status -eq 0 ] && echo "release-check: signatures, reproducibility and installer passed"
exit $status
