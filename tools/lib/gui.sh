# Windows GUI programs under Wine, headless: a private X server, a scratch
# prefix set up for Chinese programs in one virtual desktop, screenshots, and
# a small request service through which a Windows test program asks for what
# only X can do. Sourced after common.sh and wine.sh, not run.
#
#   korvel_gui_start            installs what is missing, starts Xvfb on a free
#                               display with its own cookie, exports DISPLAY and
#                               XAUTHORITY; call it after korvel_wine_prefix_start:
#                               on exit it stops the prefix first, then X
#   korvel_gui_prepare_prefix   Chinese fonts, the virtual desktop and the
#                               zh_CN.UTF-8 locale for every program of the prefix
#   korvel_gui_screenshot FILE  the whole X screen as a PNG
#   korvel_gui_serve_requests SHOTS_DIR
#                               serves key chords and screenshots asked for by
#                               Windows test programs; exports KORVEL_GUI_REQUESTS
#                               (the request folder as a Windows path)
#   KORVEL_GUI_SCREEN           the screen and the desktop size (default 1024x768)

KORVEL_GUI_PACKAGES=(xvfb xauth xdotool imagemagick fonts-wqy-microhei fonts-wine locales)
KORVEL_GUI_SCREEN=${KORVEL_GUI_SCREEN:-1024x768}

korvel_gui_start() {
  korvel_install_missing "${KORVEL_GUI_PACKAGES[@]}" || return 1
  KORVEL_GUI_DIR=$(mktemp -d "${KORVEL_WINE_SCRATCH:-${TMPDIR:-/tmp}}/korvel-gui.XXXXXX")
  trap korvel_gui_end EXIT

  # The server reads every cookie in its file at start; the client looks one
  # up by display number, which is known only once the server has picked it.
  local cookie display_file number
  cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
  export XAUTHORITY="$KORVEL_GUI_DIR/Xauthority"
  : >"$XAUTHORITY"
  xauth -q -f "$XAUTHORITY" add :0 MIT-MAGIC-COOKIE-1 "$cookie" || return 1
  display_file="$KORVEL_GUI_DIR/display"
  # -displayfd lets the server take the first free display, so that test runs
  # of several checkouts on one machine never meet. In a session of its own a
  # Ctrl-C does not take the display from the Wine programs still running;
  # korvel_gui_end stops it after them.
  setsid Xvfb -displayfd 3 -screen 0 "${KORVEL_GUI_SCREEN}x24" -auth "$XAUTHORITY" -nolisten tcp \
    3>"$display_file" >"$KORVEL_GUI_DIR/xvfb.log" 2>&1 &
  KORVEL_GUI_XVFB_PID=$!
  local waited=0
  until number=$(head -n 1 "$display_file" 2>/dev/null) && [ -n "$number" ]; do
    if ! kill -0 "$KORVEL_GUI_XVFB_PID" 2>/dev/null || [ "$waited" -ge 200 ]; then
      cat "$KORVEL_GUI_DIR/xvfb.log" >&2
      echo "The X server did not start." >&2
      return 1
    fi
    sleep 0.05
    waited=$((waited + 1))
  done
  export DISPLAY=":$number"
  xauth -q -f "$XAUTHORITY" add "$DISPLAY" MIT-MAGIC-COOKIE-1 "$cookie" || return 1
  korvel_say "X server $DISPLAY (${KORVEL_GUI_SCREEN}) for the Windows programs"
}

# Ends, in this order, the request service, the Wine prefix's programs (while
# their display is still there) and the X server, and keeps the exit status.
korvel_gui_end() {
  local status=$?
  # A second Ctrl-C must not cut the clean-up short.
  trap '' INT TERM
  if [ -n "${KORVEL_GUI_SERVER_PID:-}" ]; then
    kill "$KORVEL_GUI_SERVER_PID" 2>/dev/null || true
    wait "$KORVEL_GUI_SERVER_PID" 2>/dev/null || true
  fi
  if [ -n "${KORVEL_WINE_SCRATCH:-}" ]; then
    # korvel_wine_prefix_end ends with exit: a subshell keeps ours going.
    ( (exit "$status"); korvel_wine_prefix_end ) || true
  fi
  if [ -n "${KORVEL_GUI_XVFB_PID:-}" ]; then
    kill "$KORVEL_GUI_XVFB_PID" 2>/dev/null || true
    wait "$KORVEL_GUI_XVFB_PID" 2>/dev/null || true
  fi
  if [ "${KORVEL_WINE_KEEP:-0}" != 1 ]; then
    rm -rf "$KORVEL_GUI_DIR"
  fi
  exit "$status"
}

# Prints the Windows path (through Wine's Z: drive) of a Unix path.
korvel_gui_dos_path() {
  local path
  path=$(realpath -m "$1")
  printf 'Z:%s\n' "${path//\//\\}"
}

korvel_gui_prepare_prefix() {
  korvel_say "Preparing the prefix for Chinese GUI programs"
  # Wine takes its locale from the C library: with a locale that glibc does
  # not have it falls back to English. Machines of our kind carry the locale
  # sources (package locales) but no compiled zh_CN, so compile it privately
  # (about 2 s), which needs neither root nor a change to the system.
  if ! locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; then
    mkdir -p "$KORVEL_GUI_DIR/locale"
    if ! localedef -i zh_CN -f UTF-8 "$KORVEL_GUI_DIR/locale/zh_CN.UTF-8" >"$KORVEL_GUI_DIR/localedef.log" 2>&1; then
      cat "$KORVEL_GUI_DIR/localedef.log" >&2
      echo "The zh_CN.UTF-8 locale could not be made." >&2
      return 1
    fi
    export LOCPATH="$KORVEL_GUI_DIR/locale"
  fi
  # For the programs this shell starts; the shell itself would not find a
  # private locale (it does not read LOCPATH from its own variables) and says
  # so: it stays as it is.
  { export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8; } 2>/dev/null

  # One virtual desktop for every program of the prefix: Wine draws title
  # bars, a task bar and a notification area in it, a test program and the
  # program under test share it, and each still runs as its own process whose
  # exit code reaches the shell.
  local desktop_reg="$KORVEL_GUI_DIR/desktop.reg"
  cat >"$desktop_reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]
"Default"="$KORVEL_GUI_SCREEN"
REG
  # The title bars' buttons are Marlett symbols. Debian's Wine reads no
  # fonts from its own data folder (package fonts-wine), only from the
  # prefix's Fonts folder and fontconfig's: put Marlett where it is read.
  if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
  local reg
  for reg in "$KORVEL_ROOT/tests/wine/gui/fonts.reg" "$desktop_reg"; do
    if ! timeout -k 5 60 wine regedit /S "$(korvel_gui_dos_path "$reg")"; then
      echo "Importing $reg into the prefix failed." >&2
      return 1
    fi
  done
  # The desktop that regedit's start opened has the old settings: let the
  # prefix's programs end, so that the next one opens the new desktop.
  timeout -k 5 60 wineserver -w
}

korvel_gui_screenshot() {
  mkdir -p "$(dirname "$1")"
  import -window root "$1"
}

# The request service. A Windows program under Wine cannot give X a key
# chord (SendInput from another Wine process does not fire RegisterHotKey)
# and cannot wait for a Unix program it starts (Wine 8 runs it, but hands
# back no process handle). So it writes a request file, and this loop, on the
# shell side, carries it out and answers with the outcome:
#   <name>.request   "key <chord>" (xdotool's names, e.g. ctrl+alt+y),
#                    "shot <name>" (a PNG of the screen in SHOTS_DIR) or
#                    "drive <letter> on|off" (the letter, D to Y, made a fixed
#                    drive of the prefix on an empty scratch folder, or not)
#   <name>.done      "<exit status> <what was done>"
# Only these requests exist and their arguments are checked, so that a
# request file can never run anything else.
korvel_gui_serve_requests() {
  local shots=$1
  mkdir -p "$shots" "$KORVEL_GUI_DIR/requests"
  KORVEL_GUI_SHOTS=$(realpath "$shots")
  export KORVEL_GUI_REQUESTS
  KORVEL_GUI_REQUESTS=$(korvel_gui_dos_path "$KORVEL_GUI_DIR/requests")
  # Like the X server, it outlives a Ctrl-C until the clean-up ends it, so
  # that the test program running then still gets its answers.
  (
    trap '' INT
    korvel_gui_request_loop "$KORVEL_GUI_DIR/requests" "$KORVEL_GUI_SHOTS"
  ) &
  KORVEL_GUI_SERVER_PID=$!
}

korvel_gui_request_loop() {
  local folder=$1 shots=$2 request verb argument status answer
  while :; do
    for request in "$folder"/*.request; do
      [ -f "$request" ] || continue
      read -r verb argument <"$request" || true
      argument=${argument%$'\r'}
      status=0
      case "$verb" in
        key)
          if [[ $argument =~ ^[A-Za-z0-9_+]+$ ]]; then
            answer=$(xdotool key "$argument" 2>&1) || status=$?
            answer=${answer:-pressed $argument}
          else
            status=2 answer="not a key chord: $argument"
          fi
          ;;
        shot)
          if [[ $argument =~ ^[A-Za-z0-9_.-]+$ ]]; then
            answer=$(korvel_gui_screenshot "$shots/$argument.png" 2>&1) || status=$?
            answer=${answer:-$shots/$argument.png}
          else
            status=2 answer="not a screenshot name: $argument"
          fi
          ;;
        drive)
          if [[ $argument =~ ^([D-Yd-y])\ (on|off)$ ]]; then
            local letter=${BASH_REMATCH[1],,} link
            link="$WINEPREFIX/dosdevices/$letter:"
            if [ "${BASH_REMATCH[2]}" = on ]; then
              mkdir -p "$KORVEL_GUI_DIR/drive-$letter"
              ln -sfn "$KORVEL_GUI_DIR/drive-$letter" "$link" && answer="$letter: on $KORVEL_GUI_DIR/drive-$letter" ||
                status=$?
            else
              rm -f "$link" && answer="$letter: gone" || status=$?
            fi
          else
            status=2 answer="not a drive request: $argument"
          fi
          ;;
        *) status=2 answer="unknown request: $verb" ;;
      esac
      # Answer through a rename, so that the program never reads half an answer.
      printf '%s %s\n' "$status" "$answer" >"${request%.request}.answer"
      rm -f "$request"
      mv "${request%.request}.answer" "${request%.request}.done"
    done
    sleep 0.02
  done
}
