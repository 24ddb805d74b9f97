#!/usr/bin/env bash
# Takes the README's pictures of the real updater: the main window, the update dialog under
# its read-only message, the install-folder and folder-selection dialogs and the success
# message, as the program shows them on the demo installation (scripts/demo-install.sh).
# Runs on a private Xvfb screen, inside a Wine virtual desktop that draws the window frames,
# and writes docs/main-window.png, docs/flow-*.png and docs/success-message.png.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh"
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
SORANOTE_DEMO_RESET=1 bash "$root/scripts/demo-install.sh"

handshake=$(mktemp -d)
trap 'rm -rf "$handshake"' EXIT
# An empty DISPLAY makes with-display start its own Xvfb even on a desktop session.
DISPLAY= "$root/scripts/with-display" bash -c '
  set -euo pipefail
  build=$1 handshake=$2 docs=$3
  # A desktop of its own, so the pictures are taken on this screen even when another Wine
  # session of the prefix has its desktop elsewhere.
  wine explorer /desktop=DocShots,1024x768 "$build/tests/doc_shots.exe" \
       "$(winepath -w "$build/SoranoteUpdater.exe")" "$(winepath -w "$handshake")" &
  shots=$!
  while kill -0 $shots 2>/dev/null; do
    if [ -f "$handshake/request" ]; then
      read -r name x y w h <"$handshake/request"
      import -window root -crop "${w}x${h}+${x}+${y}" +repage "$docs/$name.png"
      echo "screenshots: $docs/$name.png"
      rm -f "$handshake/request"
    fi
    sleep 0.1
  done
  wait $shots
' screenshots "$build" "$handshake" "$root/docs"
# The demo installation was updated while the pictures were taken; put the old version back
# so that the run command still has an update to do.
SORANOTE_DEMO_RESET=1 bash "$root/scripts/demo-install.sh"
