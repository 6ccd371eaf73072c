#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz with clang's libFuzzer (and ASan/UBSan)
# and runs each for a fixed budget on its checked-in seed corpus. New inputs go
# to a scratch folder, so the checked-in corpus stays as it is; a crash input is
# kept under build/fuzz/crashes and fails the run.
#   SORVANE_FUZZ_SECONDS  budget per target (default 40)
set -euo pipefail
cd "$(dirname "$0")/.."
out=build/fuzz
seconds=${SORVANE_FUZZ_SECONDS:-40}
# The fuzz preset: clang, libFuzzer, ASan and UBSan (tests/fuzz/CMakeLists.txt).
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
mkdir -p "$out/crashes"

status=0
for target in settings_file numbers command_line trace_number; do
  scratch=$(mktemp -d)
  echo "== $target: ${seconds}s"
  if ! "$out/bin/${target}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -max_len=4096 \
       -print_final_stats=1 -artifact_prefix="$out/crashes/${target}-" \
       "$scratch" "tests/fuzz/corpus/$target" 2>"$out/${target}.log"; then
    status=1
    tail -n 40 "$out/${target}.log"
  else
    grep -E '^stat::number_of_executed_units|^Done' "$out/${target}.log" || true
  fi
  rm -rf "$scratch"
done
exit $status
