# A scratch Wine prefix with the shipping x64 binaries in C:\Software, for
# the Wine tests and the Wine tour. Sourced, not run; needs common.sh.
#
#   korvel_wine_prefix_start   installs Wine if missing, makes the prefix,
#                              copies dist/x64/*.dll, and arranges for the
#                              prefix's wineserver to end when the shell exits
#   KORVEL_WINE_KEEP=1         keep the scratch prefix for a look afterwards

korvel_wine_prefix_start() {
  export WINEDEBUG=${WINEDEBUG:--all}
  korvel_install_missing wine wine64 || return 1
  KORVEL_WINE_SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/korvel-wine.XXXXXX")
  export WINEPREFIX="$KORVEL_WINE_SCRATCH/prefix"
  # Wine links the Windows desktop and documents folders to the user's home:
  # a home of the prefix's own keeps shortcuts and menu entries that the
  # programs under test make out of the real one.
  export HOME="$KORVEL_WINE_SCRATCH/home"
  mkdir -p "$HOME"
  trap korvel_wine_prefix_end EXIT
  trap 'exit 130' INT TERM

  korvel_say "Making a scratch Wine prefix in $WINEPREFIX"
  # No Mono or Gecko: nothing here needs them, and their installers would ask.
  # Waiting for wineserver to end lets the first boot finish completely before
  # any driver service is started.
  if ! WINEDLLOVERRIDES="mscoree=d;mshtml=d" timeout -k 10 180 wineboot -i >"$KORVEL_WINE_SCRATCH/wineboot.log" 2>&1 ||
    ! timeout -k 10 120 wineserver -w; then
    cat "$KORVEL_WINE_SCRATCH/wineboot.log" >&2
    echo "The Wine prefix could not be made." >&2
    return 1
  fi
  KORVEL_WINE_SOFTWARE="$WINEPREFIX/drive_c/Software"
  mkdir -p "$KORVEL_WINE_SOFTWARE"
  cp "$KORVEL_ROOT"/dist/x64/*.dll "$KORVEL_WINE_SOFTWARE/"
}

korvel_wine_prefix_end() {
  local status=$?
  # Ends this prefix's wineserver and every program still running in it.
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  if [ "${KORVEL_WINE_KEEP:-0}" = 1 ]; then
    echo "Kept the Wine prefix at $WINEPREFIX"
  else
    rm -rf "$KORVEL_WINE_SCRATCH"
  fi
  exit "$status"
}
