#!/usr/bin/env bash
# CI stage for hostile input: the native tests once under ASan and UBSan, then
# every fuzz target for a short fixed budget. Fails when either fails.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
status=0
./tools/sanitize.sh || status=1
SORVANE_FUZZ_SECONDS=${SORVANE_FUZZ_SECONDS:-30} ./tools/fuzz.sh || status=1
exit $status
