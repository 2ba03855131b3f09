#!/usr/bin/env bash
# The product tour under Wine, with the shipping x64 binaries in C:\Software
# of a scratch prefix, opening first a vault that korvel-vault made, filled
# and checked on Linux; then, on a fresh program folder, the installer
# dist/x64/setup.exe as a person runs it, which starts the vault manager, on
# a private X server, with a screenshot of its main window (the vault the
# tour made is in its list). Needs the win64 preset and its setup built.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../lib/common.sh"
source "$KORVEL_ROOT/tools/lib/wine.sh"
source "$KORVEL_ROOT/tools/lib/gui.sh"

build_dir="$KORVEL_ROOT/build/win64"
shot="$KORVEL_ROOT/build/screenshots/manager-after-the-tour.png"
for program in product_tour install_and_show; do
  if [ ! -f "$build_dir/tools/$program.exe" ]; then
    echo "Missing $build_dir/tools/$program.exe: build the win64 preset first." >&2
    exit 1
  fi
done
if [ ! -f "$KORVEL_ROOT/dist/x64/setup.exe" ]; then
  echo "Missing dist/x64/setup.exe: build the win64 preset and its setup target first." >&2
  exit 1
fi

korvel_wine_prefix_start
bash "$KORVEL_ROOT/tools/tour/linux-tour.sh" "$WINEPREFIX/drive_c/linux-tour"
korvel_gui_start
korvel_gui_prepare_prefix
timeout -k 10 "${KORVEL_WINE_TIME_LIMIT:-240}" wine "$build_dir/tools/product_tour.exe" \
  'C:\linux-tour\LinuxVault.sec' LinuxTour1

korvel_say "Installing the system with dist/x64/setup.exe into a fresh program folder"
# The tour stopped its driver; its files go, so that the installer meets a
# machine it has not been on.
rm -f "$KORVEL_WINE_SOFTWARE"/*
timeout -k 10 90 wine "$build_dir/tools/install_and_show.exe" "$(korvel_gui_dos_path "$KORVEL_ROOT/dist/x64/setup.exe")"
korvel_gui_screenshot "$shot"
echo "Screenshot of the vault manager: $shot"
