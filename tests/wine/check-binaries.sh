#!/usr/bin/env bash
# Static checks of the deliverables of both Windows builds, which matter most
# for the 32-bit build that cannot run here:
#   Vantor.dll  a PE32 (x86) or PE32+ (x64) kernel driver: native subsystem,
#               imports from ntoskrnl.exe and HAL.dll only, a version resource
#               with OriginalFilename "Vantor.sys" and a four-number version;
#   Pellix.dll  (once built) a DLL of the same machine that exports exactly
#               the nine SysDisk functions under their plain names and
#               imports Windows system DLLs only, no compiler runtime DLL.
#   tessaly.exe (once built) a GUI program of the same machine that imports
#               Windows system DLLs only (not Pellix.dll: it binds it at run
#               time), with a manifest asking for administrator rights,
#               common controls 6 and dpi awareness, a version resource with
#               the product name, and its icon in 16, 32 and 48 pixels.
#   setup.exe   (once built) a GUI program of the same machine, importing
#               Windows system DLLs only, with a manifest asking for
#               administrator rights and common controls 6, and the five
#               files it carries as "SimType" resources in Chinese (PRC);
#               their contents are compared with dist/ by a host test
#               (tests/setup/carried_files_test.cpp).
# Usage: check-binaries.sh [dist folder]; prints one line per check.
set -uo pipefail

dist=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/dist}
failures=0

pass() { printf '  ok    %s\n' "$*"; }
fail() {
  printf '  FAIL  %s\n' "$*"
  failures=$((failures + 1))
}

tool() {  # tool <arch> <name>: the binutils tool for that build
  case $1 in
    x86) echo "i686-w64-mingw32-$2" ;;
    x64) echo "x86_64-w64-mingw32-$2" ;;
  esac
}

# The DLL names a PE file imports, lower case, one a line.
imports() {
  "$(tool "$1" objdump)" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u
}

# The names a PE file exports, one a line, sorted.
exports() {
  "$(tool "$1" objdump)" -p "$2" |
    sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[[[:space:]]*[0-9]*\] //p' | sort
}

# Checks the machine, the image kind and that the file is a DLL image.
# Returns non-zero when any check fails.
check_image() {  # check_image <arch> <file> <subsystem number or empty> [exe]
  local arch=$1 file=$2 subsystem=$3 kind=${4:-dll} headers format magic bad=0
  headers=$("$(tool "$arch" objdump)" -p "$file" 2>&1) || {
    fail "$file: not a PE file ($headers)"
    return 1
  }
  format=$("$(tool "$arch" objdump)" -f "$file" | sed -n 's/.*file format //p')
  magic=$(sed -n 's/^Magic[[:space:]]*//p' <<<"$headers")
  case $arch in
    x86) [ "$format" = pei-i386 ] && [[ $magic == *"(PE32)"* ]] || bad=1 ;;
    x64) [ "$format" = pei-x86-64 ] && [[ $magic == *"(PE32+)"* ]] || bad=1 ;;
  esac
  if [ $bad -eq 0 ]; then
    pass "$file: $format, ${magic//$'\t'/ }"
  else
    fail "$file: format '$format', magic '$magic' is not the $arch build's"
  fi
  if grep -q '^[[:space:]]*DLL$' <<<"$headers"; then
    if [ "$kind" = dll ]; then
      pass "$file: a DLL image"
    else
      fail "$file: marked as a DLL image, expected a program"
      bad=1
    fi
  elif [ "$kind" = dll ]; then
    fail "$file: not marked as a DLL image"
    bad=1
  else
    pass "$file: a program image"
  fi
  if [ -n "$subsystem" ]; then
    local actual
    actual=$(sed -n 's/^Subsystem[[:space:]]*\([0-9a-f]*\)[[:space:]]*/\1 /p' <<<"$headers")
    if [ "$((16#${actual%% *}))" = "$subsystem" ]; then
      pass "$file: subsystem $actual"
    else
      fail "$file: subsystem is '$actual', expected $subsystem"
      bad=1
    fi
  fi
  return $bad
}

check_driver() {  # check_driver <arch> <file>
  local arch=$1 file=$2 bad=0 dlls unexpected rc version original numbers
  check_image "$arch" "$file" 1 || bad=1  # native

  dlls=$(imports "$arch" "$file")
  unexpected=$(grep -v -x -e ntoskrnl.exe -e hal.dll <<<"$dlls")
  if grep -q -x ntoskrnl.exe <<<"$dlls" && [ -z "$unexpected" ]; then
    pass "$file: imports $(echo $dlls)"
  else
    fail "$file: imports '$(echo $dlls)'; a driver may import ntoskrnl.exe and HAL.dll only"
    bad=1
  fi

  rc=$("$(tool "$arch" windres)" -i "$file" -O rc 2>/dev/null)
  original=$(sed -n 's/^[[:space:]]*VALUE "OriginalFilename", L\{0,1\}"\(.*\)"$/\1/p' <<<"$rc")
  numbers=$(sed -n 's/^[[:space:]]*FILEVERSION[[:space:]]*\([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\)[[:space:]]*$/\1.\2.\3.\4/p' <<<"$rc")
  version=$(sed -n 's/^[[:space:]]*VALUE "FileVersion", L\{0,1\}"\(.*\)"$/\1/p' <<<"$rc")
  if [ "$original" = Vantor.sys ]; then
    pass "$file: OriginalFilename $original"
  else
    fail "$file: OriginalFilename is '$original', expected Vantor.sys"
    bad=1
  fi
  if [[ $numbers =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] && [ "$version" = "$numbers" ]; then
    pass "$file: file version $numbers"
  else
    fail "$file: file version '$numbers' and FileVersion text '$version' are not one four-number version"
    bad=1
  fi
  return $bad
}

readonly LIBRARY_EXPORTS="SysDiskChangePWD
SysDiskInstall
SysDiskMount
SysDiskMountEx
SysDiskStart
SysDiskStop
SysDiskUnInstall
SysDiskUnMount
SysDiskUnMountEx"

# System DLLs present on every Windows the product supports.
readonly SYSTEM_DLLS="advapi32.dll kernel32.dll msvcrt.dll ntdll.dll user32.dll"

check_library() {  # check_library <arch> <file>
  local arch=$1 file=$2 bad=0 names dlls dll
  check_image "$arch" "$file" "" || bad=1

  names=$(exports "$arch" "$file")
  if [ "$names" = "$LIBRARY_EXPORTS" ]; then
    pass "$file: exports exactly the nine SysDisk functions by plain name"
  else
    fail "$file: exports '$(echo $names)', expected '$(echo $LIBRARY_EXPORTS)'"
    bad=1
  fi

  dlls=$(imports "$arch" "$file")
  for dll in $dlls; do
    if [[ " $SYSTEM_DLLS " != *" $dll "* ]]; then
      fail "$file: imports $dll, which is not a Windows system DLL"
      bad=1
    fi
  done
  [ $bad -eq 0 ] && pass "$file: imports $(echo $dlls)"
  return $bad
}

# System DLLs the manager may import besides those.
readonly GUI_DLLS="comctl32.dll gdi32.dll ole32.dll oleaut32.dll shell32.dll shlwapi.dll"

# The product name in a windres listing: Korvel多功能保险柜 as UTF-16 escapes.
readonly PRODUCT_NAME_RC='L"Korvel\x591a\x529f\x80fd\x4fdd\x9669\x67dc"'

check_manager() {  # check_manager <arch> <file>
  local arch=$1 file=$2 bad=0 dlls dll rc size
  check_image "$arch" "$file" 2 exe || bad=1  # Windows GUI

  dlls=$(imports "$arch" "$file")
  for dll in $dlls; do
    if [[ " $SYSTEM_DLLS $GUI_DLLS " != *" $dll "* ]]; then
      fail "$file: imports $dll, which is not a Windows system DLL"
      bad=1
    fi
  done
  [ $bad -eq 0 ] && pass "$file: imports $(echo $dlls)"

  rc=$("$(tool "$arch" windres)" -i "$file" -O rc 2>/dev/null)
  if grep -q 'level=""requireAdministrator""' <<<"$rc" && grep -q 'Microsoft.Windows.Common-Controls"" version=""6.0.0.0' <<<"$rc" &&
    grep -q '<dpiAware[^>]*>true</dpiAware>' <<<"$rc"; then
    pass "$file: manifest asks for administrator rights, common controls 6 and dpi awareness"
  else
    fail "$file: the manifest lacks requireAdministrator, common controls 6 or dpi awareness"
    bad=1
  fi
  if grep -qF "VALUE \"ProductName\", $PRODUCT_NAME_RC" <<<"$rc"; then
    pass "$file: ProductName Korvel多功能保险柜"
  else
    fail "$file: no version resource with the ProductName Korvel多功能保险柜"
    bad=1
  fi
  for size in 020 040 060; do  # 16, 32 and 48 pixels, as octal escapes
    if ! grep -qF "\"\\$size\\$size\\000\\000\", 1, 32," <<<"$rc"; then
      fail "$file: the icon has no $((8#$size))-pixel image"
      bad=1
    fi
  done
  [ $bad -eq 0 ] && pass "$file: icon in 16, 32 and 48 pixels"
  return $bad
}

check_installer() {  # check_installer <arch> <file>
  local arch=$1 file=$2 bad=0 dlls dll rc id
  check_image "$arch" "$file" 2 exe || bad=1  # Windows GUI
  dlls=$(imports "$arch" "$file")
  for dll in $dlls; do
    if [[ " $SYSTEM_DLLS $GUI_DLLS version.dll " != *" $dll "* ]]; then
      fail "$file: imports $dll, which is not a Windows system DLL"
      bad=1
    fi
  done
  [ $bad -eq 0 ] && pass "$file: imports $(echo $dlls)"
  rc=$("$(tool "$arch" windres)" -i "$file" -O rc 2>/dev/null | grep -v '^  [L]\{0,1\}"')
  # The manifest is stored as its own UTF-8 text.
  if grep -aq 'level="requireAdministrator"' "$file" &&
    grep -aq 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' "$file"; then
    pass "$file: manifest asks for administrator rights and common controls 6"
  else
    fail "$file: the manifest lacks requireAdministrator or common controls 6"
    bad=1
  fi
  for id in 147 148 284 311 464; do
    # Each carried file under its id, after a LANGUAGE 4, 2 (Chinese, PRC).
    if ! awk -v id="$id" '/^LANGUAGE /{lang=$0} $1==id && $2=="\"SIMTYPE\""{if (lang ~ /^LANGUAGE 4, 2/) found=1} END{exit !found}' <<<"$rc"; then
      fail "$file: no SimType resource $id in Chinese (PRC)"
      bad=1
    fi
  done
  [ $bad -eq 0 ] && pass "$file: carries SimType resources 147, 148, 284, 311 and 464 in Chinese (PRC)"
  return $bad
}

for arch in x86 x64; do
  installer="$dist/$arch/setup.exe"
  if [ -f "$installer" ]; then
    check_installer "$arch" "$installer"
  else
    echo "  --    $installer is not built yet"
  fi
  manager="$dist/$arch/tessaly.exe"
  if [ -f "$manager" ]; then
    check_manager "$arch" "$manager"
  else
    fail "$manager is missing"
  fi
  driver="$dist/$arch/Vantor.dll"
  if [ -f "$driver" ]; then
    check_driver "$arch" "$driver"
  else
    fail "$driver is missing"
  fi
  library="$dist/$arch/Pellix.dll"
  if [ -f "$library" ]; then
    check_library "$arch" "$library"
  else
    echo "  --    $library is not built yet"
  fi
done

# The checks must be able to say no: each is shown the other kind of file,
# quietly and in a subshell that keeps its counts, and must refuse it.
for arch in x86 x64; do
  if [ -f "$dist/$arch/Vantor.dll" ] && (check_library "$arch" "$dist/$arch/Vantor.dll") >/dev/null 2>&1; then
    fail "the library check accepts the $arch driver"
  fi
  if [ -f "$dist/$arch/Pellix.dll" ] && (check_driver "$arch" "$dist/$arch/Pellix.dll") >/dev/null 2>&1; then
    fail "the driver check accepts the $arch library"
  fi
done
for arch in x86 x64; do
  if [ -f "$dist/$arch/Pellix.dll" ] && (check_manager "$arch" "$dist/$arch/Pellix.dll") >/dev/null 2>&1; then
    fail "the manager check accepts the $arch library"
  fi
done
if [ -f "$dist/x86/tessaly.exe" ] && (check_installer x86 "$dist/x86/tessaly.exe") >/dev/null 2>&1; then
  fail "the installer check accepts the x86 manager"
fi
if [ -f "$dist/x64/tessaly.exe" ] && (check_manager x86 "$dist/x64/tessaly.exe") >/dev/null 2>&1; then
  fail "the x86 manager check accepts the x64 manager"
fi
if [ -f "$dist/x64/Vantor.dll" ] && (check_driver x86 "$dist/x64/Vantor.dll") >/dev/null 2>&1; then
  fail "the x86 driver check accepts the x64 driver"
fi

if [ $failures -ne 0 ]; then
  echo "$failures static check(s) failed"
  exit 1
fi
echo "All static checks passed"
