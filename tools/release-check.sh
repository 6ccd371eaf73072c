#!/usr/bin/env bash
# CI stage for the Windows release: builds it (tools/release.sh, both
# architectures; the 32-bit one is only compiled, it cannot run here) and runs
# the win64 installer end to end under Wine in a fresh prefix. Needs the win64
# preset configured (tools/test-all.sh does that first).
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
./tools/release.sh win64 win32

cmake --build build/win64 --target installer_e2e_test -j "$(nproc)"
version=$(project_version build/release-win64)
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
release_bin=$PWD/build/release-win64/bin
export SORVANE_SETUP="Z:${setup//\//\\}"
export SORVANE_RELEASE_BIN="Z:${release_bin//\//\\}"
export SORVANE_VERSION=$version
status=0
./tools/wine-run.sh "$work/installer_e2e_test.exe" || status=1
stop_wine "$prefix"
exit $status
