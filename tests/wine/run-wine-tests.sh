#!/usr/bin/env bash
# Tests the shipping Windows binaries: first the static checks of both
# builds, then the x64 build at work under Wine. The driver (and the control
# library, once it is built) are copied into C:\Software of a scratch Wine
# prefix, and the test programs of the win64 preset run there, each within a
# time limit. The prefix's wineserver is ended afterwards, also on failure.
#
# Needs the win32 and win64 presets built. Installs Wine when it is missing
# and this runs as root.
#
#   KORVEL_WINE_TIME_LIMIT  seconds each test program may run (default 240)
#   WINEDEBUG               Wine's debug channels (default -all)
#   KORVEL_WINE_KEEP=1      keep the scratch prefix for a look afterwards
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build_dir="$root/build/win64"
dist_dir="$root/dist/x64"
time_limit=${KORVEL_WINE_TIME_LIMIT:-240}
export WINEDEBUG=${WINEDEBUG:--all}

say() {
  printf '\n==> %s\n' "$*"
}

wine_ready() {
  command -v wine >/dev/null && command -v wineserver >/dev/null && command -v wineboot >/dev/null || return 1
  # The 64-bit loader comes in a Debian package of its own.
  if command -v dpkg-query >/dev/null; then
    [ "$(dpkg-query -W -f='${Status}' wine64 2>/dev/null)" = "install ok installed" ] || return 1
  fi
}

ensure_wine() {
  if wine_ready; then
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "Wine is missing: install the Debian packages wine and wine64, or run this as root." >&2
    return 1
  fi
  say "Installing wine wine64"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends wine wine64
}

failed=()

say "Static checks of the Windows binaries"
bash "$root/tests/wine/check-binaries.sh" "$root/dist" || failed+=("static checks")

for program in vantor_wine_tests pellix_wine_tests; do
  if [ ! -f "$build_dir/wine-tests/$program.exe" ]; then
    echo "Missing $build_dir/wine-tests/$program.exe: build the win64 preset first." >&2
    exit 1
  fi
done
if [ ! -f "$dist_dir/Vantor.dll" ]; then
  echo "Missing $dist_dir/Vantor.dll: build the win64 preset first." >&2
  exit 1
fi

ensure_wine

scratch=$(mktemp -d "${TMPDIR:-/tmp}/korvel-wine.XXXXXX")
export WINEPREFIX="$scratch/prefix"

finish() {
  local status=$?
  # Ends this prefix's wineserver and every program still running in it.
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  if [ "${KORVEL_WINE_KEEP:-0}" = 1 ]; then
    echo "Kept the Wine prefix at $WINEPREFIX"
  else
    rm -rf "$scratch"
  fi
  exit "$status"
}
trap finish EXIT
trap 'exit 130' INT TERM

say "Making a scratch Wine prefix in $WINEPREFIX"
# No Mono or Gecko: nothing here needs them, and their installers would ask.
# Waiting for wineserver to end lets the first boot finish completely before
# any test starts a service.
if ! WINEDLLOVERRIDES="mscoree=d;mshtml=d" timeout -k 10 180 wineboot -i >"$scratch/wineboot.log" 2>&1 ||
  ! timeout -k 10 120 wineserver -w; then
  cat "$scratch/wineboot.log" >&2
  echo "The Wine prefix could not be made." >&2
  exit 1
fi

software="$WINEPREFIX/drive_c/Software"
mkdir -p "$software"
cp "$dist_dir/Vantor.dll" "$software/"
programs=(vantor_wine_tests)
if [ -f "$dist_dir/Pellix.dll" ]; then
  cp "$dist_dir/Pellix.dll" "$software/"
  programs+=(pellix_wine_tests)
else
  say "No $dist_dir/Pellix.dll: the control library's tests are not run"
fi

for program in "${programs[@]}"; do
  say "Running $program under Wine (at most ${time_limit} s)"
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
  say "Wine tests FAILED: ${failed[*]}"
  exit 1
fi
say "Wine tests passed (${programs[*]})"
