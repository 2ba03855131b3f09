# Shared by the two top-level commands: installs what is missing, builds.
# Sourced, not run.

KORVEL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# A stale TMPDIR would stop mktemp, and Wine, which keeps its server's
# socket there: fall back to /tmp, and say so.
if [ -n "${TMPDIR:-}" ] && ! { [ -d "$TMPDIR" ] && [ -w "$TMPDIR" ]; }; then
  echo "TMPDIR=$TMPDIR is not a folder that can be written; using /tmp instead" >&2
  export TMPDIR=/tmp
fi

# Debian packages the builds and tests need.
KORVEL_PACKAGES=(
  cmake ninja-build g++ googletest
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools
  wine wine64
  xvfb xauth xdotool imagemagick fonts-wqy-microhei fonts-wine locales
  fp-utils-3.2.2
  clang libclang-rt-14-dev
  ntfs-3g fuse3 libfuse3-dev pkg-config
)

korvel_say() {
  printf '\n==> %s\n' "$*"
}

# Prints those of the given Debian packages that are not installed.
korvel_missing_packages() {
  local pkg
  for pkg in "$@"; do
    if [ "$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null)" != "install ok installed" ]; then
      printf '%s\n' "$pkg"
    fi
  done
}

# Installs those of the given Debian packages that are missing (as root).
korvel_install_missing() {
  local missing
  missing=$(korvel_missing_packages "$@")
  if [ -z "$missing" ]; then
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages: $(echo $missing). Run this as root, or install them first." >&2
    return 1
  fi
  korvel_say "Installing $(echo $missing)"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
}

korvel_setup() {
  korvel_install_missing "${KORVEL_PACKAGES[@]}"
}

# Configures (when needed) and builds each preset given. The installers
# come last: each carries the driver of both Windows presets.
korvel_build() {
  local preset windows=()
  for preset in "$@"; do
    korvel_say "Building preset $preset"
    cmake --preset "$preset" -S "$KORVEL_ROOT" >/dev/null || return 1
    cmake --build --preset "$preset" || return 1
    case $preset in win32 | win64) windows+=("$preset") ;; esac
  done
  if [ ${#windows[@]} -eq 2 ]; then
    for preset in "${windows[@]}"; do
      korvel_say "Building the installer of preset $preset"
      cmake --build --preset "$preset" --target setup || return 1
    done
  fi
}

# Prints each test that the last ctest run in the given build folder skipped,
# with the reason the test gave, so that a skip never passes unexplained.
korvel_explain_skips() {
  local log="$1/Testing/Temporary/LastTest.log"
  [ -f "$log" ] || return 0
  awk '
    /: Skipped$/ { collecting = 1; reason = ""; next }
    collecting && /^\[  SKIPPED \] / {
      name = $0; sub(/^\[  SKIPPED \] /, "", name); sub(/ \([0-9]+ ms\)$/, "", name)
      printf "  skipped %s: %s\n", name, reason
      collecting = 0; next
    }
    collecting { reason = (reason == "" ? $0 : reason " " $0) }
  ' "$log"
}

KORVEL_ALL_PRESETS=(host host-asan host-tsan host-fuzz win32 win64)
KORVEL_TEST_PRESETS=(host host-asan host-tsan host-fuzz)
