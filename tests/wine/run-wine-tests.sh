#!/usr/bin/env bash
# Tests the shipping Windows binaries: first the static checks of both
# builds, then the x64 build at work under Wine. The driver and the control
# library are copied into C:\Software of a scratch Wine prefix, and the test
# programs of the win64 preset run there, each within a time limit. All of
# them run under a private X server, in the prefix's one virtual desktop and
# the Chinese locale (tools/lib/gui.sh): the GUI harness's self-test needs
# that, and the driver and library tests run the same way in it. The
# prefix's wineserver and the X server are ended afterwards, also on failure.
#
# Needs the win32 and win64 presets built. Installs Wine, Xvfb and the rest
# when they are missing and this runs as root.
#
#   KORVEL_WINE_TIME_LIMIT  seconds each test program may run (default 240)
#   KORVEL_WINE_BUILD_DIR   the win64 build folder (default build/win64)
#   KORVEL_WINE_DIST_DIR    the x64 deliverables (default dist/x64)
#   WINEDEBUG               Wine's debug channels (default -all)
#   KORVEL_WINE_KEEP=1      keep the scratch prefix for a look afterwards
# Screenshots of the GUI tests go to <build folder>/screenshots.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../../tools/lib/common.sh"
source "$KORVEL_ROOT/tools/lib/wine.sh"
source "$KORVEL_ROOT/tools/lib/gui.sh"
root=$KORVEL_ROOT
build_dir=$(realpath -m "${KORVEL_WINE_BUILD_DIR:-$root/build/win64}")
dist_dir=$(realpath -m "${KORVEL_WINE_DIST_DIR:-$root/dist/x64}")
screenshots="$build_dir/screenshots"
time_limit=${KORVEL_WINE_TIME_LIMIT:-240}

failed=()

korvel_say "Static checks of the Windows binaries"
bash "$root/tests/wine/check-binaries.sh" "$root/dist" || failed+=("static checks")

programs=(vantor_wine_tests pellix_wine_tests gui_harness_selftest tessaly_wine_tests setup_wine_tests)
for file in "${programs[@]/%/.exe}" gui_sample.exe korvel_gui_menu_reader.dll; do
  if [ ! -f "$build_dir/wine-tests/$file" ]; then
    echo "Missing $build_dir/wine-tests/$file: build the win64 preset first." >&2
    exit 1
  fi
done
for binary in Vantor.dll Pellix.dll tessaly.exe setup.exe; do
  if [ ! -f "$dist_dir/$binary" ]; then
    echo "Missing $dist_dir/$binary: build the win64 preset first." >&2
    exit 1
  fi
done

started=$SECONDS
korvel_wine_prefix_start
# The prefix takes the deliverables from dist/x64; these are the ones tested.
# The help file goes beside the manager, which opens it from there.
cp "$dist_dir"/*.dll "$dist_dir/tessaly.exe" "$dist_dir/tessaly.chm" "$KORVEL_WINE_SOFTWARE/"
# The installer is run from C:\; its tests compare what it writes with dist/x64.
cp "$dist_dir/setup.exe" "$WINEPREFIX/drive_c/setup.exe"
export KORVEL_DIST_X64
KORVEL_DIST_X64=$(korvel_gui_dos_path "$dist_dir")
korvel_gui_start
korvel_gui_prepare_prefix
rm -rf "$screenshots"
korvel_gui_serve_requests "$screenshots"

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

# Vaults across Linux and Wine: one made by korvel-vault opens here, and one
# made here passes its check on Linux and is re-keyed there.
tool="$root/build/host/linux/korvel-vault"
cross="$build_dir/wine-tests/linux_cross_wine_tests.exe"
if [ -x "$tool" ] && [ -f "$cross" ]; then
  korvel_say "Vaults across Linux and Wine"
  drive_c="$WINEPREFIX/drive_c"
  rm -f "$drive_c/linux-made.sec" "$drive_c/wine-made.sec"
  cross_ok=true
  printf 'LinuxPass1\nLinuxPass1\n' | "$tool" create "$drive_c/linux-made.sec" 8M || cross_ok=false
  export KORVEL_LINUX_VAULT='C:\linux-made.sec' KORVEL_LINUX_VAULT_PASSWORD=LinuxPass1
  export KORVEL_WINE_VAULT='C:\wine-made.sec' KORVEL_WINE_VAULT_PASSWORD=WinePass12
  timeout -k 10 "$time_limit" wine "$cross" --gtest_filter='LinuxCross.First*' || cross_ok=false
  echo 'winepass12' | "$tool" check "$drive_c/wine-made.sec" || cross_ok=false
  printf 'WinePass12\nReKeyed123\nReKeyed123\n' | "$tool" passwd "$drive_c/wine-made.sec" || cross_ok=false
  KORVEL_REKEYED_PASSWORD=ReKeyed123 timeout -k 10 "$time_limit" wine "$cross" --gtest_filter='LinuxCross.Then*' ||
    cross_ok=false
  # Mounted on Linux, the vault is held against Wine too (as root, where the
  # holder can refuse other programs' opens).
  if [ "$(id -u)" -eq 0 ]; then
    held=$(mktemp -d)
    if echo LinuxPass1 | "$tool" mount "$drive_c/linux-made.sec" "$held"; then
      KORVEL_HELD_VAULT='C:\linux-made.sec' KORVEL_HELD_VAULT_PASSWORD=LinuxPass1 \
        timeout -k 10 "$time_limit" wine "$cross" --gtest_filter='LinuxCross.WhileMounted*' || cross_ok=false
      "$tool" unmount "$held" || cross_ok=false
    else
      cross_ok=false
    fi
    rmdir "$held"
  else
    echo "(not root: the vault mounted on Linux is not tried against Wine)"
  fi
  $cross_ok || failed+=("vaults across Linux and Wine")
else
  echo "No $tool or no $cross: the vaults across Linux and Wine are not tried (build the host and win64 presets)"
fi

korvel_gui_screenshot "$screenshots/desktop-at-the-end.png" || failed+=("the last screenshot")
korvel_say "Screenshots of the GUI tests: $screenshots"
ls "$screenshots"
echo "The Wine tests took $((SECONDS - started)) s, the scratch prefix included."

if [ ${#failed[@]} -ne 0 ]; then
  korvel_say "Wine tests FAILED: ${failed[*]}"
  exit 1
fi
korvel_say "Wine tests passed (${programs[*]})"
