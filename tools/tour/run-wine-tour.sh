#!/usr/bin/env bash
# The product tour under Wine, with the shipping x64 binaries in C:\Software
# of a scratch prefix, and then the vault manager started there, on a
# private X server, with a screenshot of its main window (the vault the tour
# made is in its list). Needs the win64 preset built.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../lib/common.sh"
source "$KORVEL_ROOT/tools/lib/wine.sh"
source "$KORVEL_ROOT/tools/lib/gui.sh"

build_dir="$KORVEL_ROOT/build/win64"
shot="$KORVEL_ROOT/build/screenshots/manager-after-the-tour.png"
for program in product_tour show_manager; do
  if [ ! -f "$build_dir/tools/$program.exe" ]; then
    echo "Missing $build_dir/tools/$program.exe: build the win64 preset first." >&2
    exit 1
  fi
done
if [ ! -f "$KORVEL_ROOT/dist/x64/tessaly.exe" ]; then
  echo "Missing dist/x64/tessaly.exe: build the win64 preset first." >&2
  exit 1
fi

korvel_wine_prefix_start
cp "$KORVEL_ROOT/dist/x64/tessaly.exe" "$KORVEL_WINE_SOFTWARE/"
korvel_gui_start
korvel_gui_prepare_prefix
timeout -k 10 "${KORVEL_WINE_TIME_LIMIT:-240}" wine "$build_dir/tools/product_tour.exe"

korvel_say "The vault manager, started as a person would start it"
timeout -k 10 60 wine "$build_dir/tools/show_manager.exe"
korvel_gui_screenshot "$shot"
echo "Screenshot of the vault manager: $shot"
