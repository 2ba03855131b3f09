#!/usr/bin/env bash
# Tests the shipping Windows binaries: first the static checks of both
# builds, then the x64 build at work under Wine. The driver and the control
# library are copied into C:\Software of a scratch Wine prefix, and the test
# programs of the win64 preset run there, each within a time limit. The
# prefix's wineserver is ended afterwards, also on failure.
#
# Needs the win32 and win64 presets built. Installs Wine when it is missing
# and this runs as root.
#
#   KORVEL_WINE_TIME_LIMIT  seconds each test program may run (default 240)
#   WINEDEBUG               Wine's debug channels (default -all)
#   KORVEL_WINE_KEEP=1      keep the scratch prefix for a look afterwards
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../../tools/lib/common.sh"
source "$KORVEL_ROOT/tools/lib/wine.sh"
root=$KORVEL_ROOT
build_dir="$root/build/win64"
dist_dir="$root/dist/x64"
time_limit=${KORVEL_WINE_TIME_LIMIT:-240}

failed=()

korvel_say "Static checks of the Windows binaries"
bash "$root/tests/wine/check-binaries.sh" "$root/dist" || failed+=("static checks")

for program in vantor_wine_tests pellix_wine_tests; do
  if [ ! -f "$build_dir/wine-tests/$program.exe" ]; then
    echo "Missing $build_dir/wine-tests/$program.exe: build the win64 preset first." >&2
    exit 1
  fi
done
for binary in Vantor.dll Pellix.dll; do
  if [ ! -f "$dist_dir/$binary" ]; then
    echo "Missing $dist_dir/$binary: build the win64 preset first." >&2
    exit 1
  fi
done

korvel_wine_prefix_start
programs=(vantor_wine_tests pellix_wine_tests)

for program in "${programs[@]}"; do
  korvel_say "Running $program under Wine (at most ${time_limit} s)"
  status=0
  timeout -k 10 "$time_limit" wine "$build_dir/wine-tests/$program.exe" || status=$?
  if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    echo "$program did not finish within ${time_limit} s" >&2
  fi
  if [ "$status" -ne 0 ]; then
    failed+=("$program")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  korvel_say "Wine tests FAILED: ${failed[*]}"
  exit 1
fi
korvel_say "Wine tests passed (${programs[*]})"
