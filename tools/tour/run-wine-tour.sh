#!/usr/bin/env bash
# The product tour under Wine, with the shipping x64 binaries in C:\Software
# of a scratch prefix. Needs the win64 preset built.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../lib/common.sh"
source "$KORVEL_ROOT/tools/lib/wine.sh"

tour="$KORVEL_ROOT/build/win64/tools/product_tour.exe"
if [ ! -f "$tour" ]; then
  echo "Missing $tour: build the win64 preset first." >&2
  exit 1
fi
korvel_wine_prefix_start
timeout -k 10 "${KORVEL_WINE_TIME_LIMIT:-240}" wine "$tour"
