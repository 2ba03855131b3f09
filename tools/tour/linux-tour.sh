#!/usr/bin/env bash
# The Linux part of the tour: korvel-vault makes a vault in the given folder,
# mounts its NTFS, copies a file in, unmounts it and checks its password.
# Usage: linux-tour.sh FOLDER. The vault is FOLDER/LinuxVault.sec, with the
# password LinuxTour1; the Wine tour opens it afterwards.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../lib/common.sh"

tool="$KORVEL_ROOT/build/host/linux/korvel-vault"
folder=$1
vault="$folder/LinuxVault.sec"
password=LinuxTour1

korvel_say "Linux: a vault made, mounted, filled and checked with korvel-vault ($tool)"
rm -rf "$folder"
mkdir -p "$folder/mounted"
echo "\$ korvel-vault create $vault 64M"
printf '%s\n%s\n' "$password" "$password" | "$tool" create "$vault" 64M
echo "\$ korvel-vault info $vault"
"$tool" info "$vault"

echo "\$ korvel-vault mount $vault $folder/mounted"
if ! echo "$password" | "$tool" mount "$vault" "$folder/mounted"; then
  # Root always can; a normal user only where FUSE is open to them, and the
  # tool has said what is missing.
  [ "$(id -u)" -ne 0 ] || exit 1
  echo "(this machine does not let $(id -un) mount: the mount part is left out)"
else
  echo "\$ cp README.md $folder/mounted/ && ls -l $folder/mounted"
  cp "$KORVEL_ROOT/README.md" "$folder/mounted/"
  ls -l "$folder/mounted"
  echo "\$ korvel-vault unmount $folder/mounted"
  "$tool" unmount "$folder/mounted"
  echo "\$ korvel-vault mount $vault $folder/mounted   (again: is the file still there?)"
  echo "$password" | "$tool" mount "$vault" "$folder/mounted"
  if cmp -s "$KORVEL_ROOT/README.md" "$folder/mounted/README.md"; then
    echo "README.md is there, with its content"
  else
    echo "README.md is NOT there as it was copied" >&2
    "$tool" unmount "$folder/mounted"
    exit 1
  fi
  "$tool" unmount "$folder/mounted"
fi
echo "\$ korvel-vault check $vault   (password typed in small letters)"
echo "${password,,}" | "$tool" check "$vault"
