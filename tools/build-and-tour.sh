#!/usr/bin/env bash
# Sets up what is missing, builds every preset, runs a short benchmark of
# the host request path, then the product tour: under Wine with the shipping
# x64 binaries, ending with the vault manager on screen and its screenshot,
# or on the host where Wine cannot be had.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
cd "$KORVEL_ROOT"

korvel_setup
korvel_build "${KORVEL_ALL_PRESETS[@]}"

korvel_say "Benchmark: a vault through the host request path against raw unbuffered I/O"
build/host/tools/vault_bench build/host/bench-disk 128 2
korvel_say "Benchmark: creating, re-keying, mounting and dismounting a vault through the control library"
build/host/tools/vault_timings build/host/timing-disk

if command -v wine >/dev/null; then
  korvel_say "Tour of a vault's life under Wine, with dist/x64/Vantor.dll and dist/x64/Pellix.dll, then the manager"
  bash tools/tour/run-wine-tour.sh
else
  korvel_say "Wine is not installed here: the tour runs on the host instead"
  bash tools/tour/linux-tour.sh build/host/linux-tour
  build/host/tools/product_tour build/host/tour-drive
fi
