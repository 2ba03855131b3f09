#!/usr/bin/env bash
# Regenerates the pictures of the vault manager that the README and the
# help file show: runs the Wine tests, which drive the real tessaly.exe and
# take screenshots, and keeps each window cut out of its screenshot under
# docs/images/ and manager/help/images/.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
cd "$KORVEL_ROOT"

korvel_setup
korvel_build win32 win64
bash tests/wine/run-wine-tests.sh

shots=build/win64/screenshots
mkdir -p docs/images
for name in main-window pop-up-menu create-dialog open-dialog change-password-dialog read-me-dialog; do
  # The desktop is one colour: trim it away, and the task bar with it.
  convert "$shots/$name.png" -crop 1024x740+0+0 +repage -bordercolor '#28709a' -border 1 -fuzz 3% -trim \
    +repage -bordercolor white -border 8 "docs/images/$name.png"
  cp "docs/images/$name.png" "manager/help/images/$name.png"
  echo "docs/images/$name.png, manager/help/images/$name.png"
done
