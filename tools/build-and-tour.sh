#!/usr/bin/env bash
# Sets up what is missing, builds every preset and runs the product tour.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
cd "$KORVEL_ROOT"

korvel_setup
korvel_build "${KORVEL_ALL_PRESETS[@]}"

korvel_say "Tour of a vault's life through the control library (host build)"
build/host/tools/product_tour build/host/tour-drive

korvel_say "Benchmark: a vault through the host request path against raw unbuffered I/O"
build/host/tools/vault_bench build/host/bench-disk 128 2
