#!/usr/bin/env bash
# Runs every test: the host tests, the sanitizer builds' tests and the tests
# of the Windows binaries (the x64 build under Wine). Sets up and builds
# whatever is missing first.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
cd "$KORVEL_ROOT"

korvel_setup
korvel_build "${KORVEL_ALL_PRESETS[@]}"

failed=()
for preset in "${KORVEL_TEST_PRESETS[@]}"; do
  korvel_say "Testing preset $preset"
  ctest --preset "$preset" || failed+=("$preset")
  korvel_explain_skips "$KORVEL_ROOT/build/$preset"
done

korvel_say "Testing the Windows binaries (statically, and the x64 build under Wine)"
bash tests/wine/run-wine-tests.sh || failed+=(wine)

if [ ${#failed[@]} -ne 0 ]; then
  korvel_say "FAILED: ${failed[*]}"
  exit 1
fi
korvel_say "All tests passed (${KORVEL_TEST_PRESETS[*]}, and the Windows binaries)"
