#!/usr/bin/env bash
# Runs every fuzz target for a long time (the test command runs each for a
# few seconds), keeping what it finds in build/host-fuzz/fuzz-corpus, and
# prints how many inputs each one ran. Any crash stops with its input saved
# in build/host-fuzz/fuzz-crashes.
#
# Usage: tools/fuzz-long.sh [seconds per target, default 600] [target ...]
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
cd "$KORVEL_ROOT"

seconds=${1:-600}
shift || true
korvel_setup
korvel_build host-fuzz

build=build/host-fuzz
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(control_requests_fuzzer vault_header_fuzzer disk_queries_fuzzer exports_fuzzer manager_texts_fuzzer)
fi
mkdir -p "$build/fuzz-crashes"
total=0
for target in "${targets[@]}"; do
  korvel_say "Fuzzing $target for $seconds s"
  mkdir -p "$build/fuzz-corpus/$target"
  log="$build/fuzz-crashes/$target.log"
  # The library's report lines would flood the output; libFuzzer's own stay.
  if ! "$build/tests/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 -close_fd_mask=2 \
      -artifact_prefix="$build/fuzz-crashes/$target-" \
      "$build/fuzz-corpus/$target" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
    tail -n 40 "$log"
    korvel_say "$target FAILED; its input is in $build/fuzz-crashes"
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  printf '%-24s %12s inputs  (%s a second)\n' "$target" "$runs" "$speed"
  total=$((total + runs))
done
korvel_say "All fuzz targets ran clean: $total inputs in all"
