#!/usr/bin/env bash
# Takes the README's pictures of the real updater: the main window, the update dialog under
# its read-only message, the install-folder and folder-selection dialogs and the success
# message, as the program shows them on the demo installation (scripts/demo-install.sh).
# Runs on a private Xvfb screen, inside a Wine virtual desktop that draws the window frames,
# and writes docs/main-window.png, docs/flow-*.png (the dialogs also as
# docs/install-folder-dialog.png and docs/folder-selection-dialog.png) and
# docs/success-message.png; then the main window once more on a screen of 8 bits per pixel,
# where colours go through a palette: docs/main-window-8bit.png.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh"
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
SORANOTE_DEMO_RESET=1 bash "$root/scripts/demo-install.sh"

handshake=$(mktemp -d)
trap 'rm -rf "$handshake"' EXIT
# shots [picture name]: the whole flow, or only the main window under that name.
shots() {
  # An empty DISPLAY makes with-display start its own Xvfb even on a desktop session.
  DISPLAY= "$root/scripts/with-display" bash -c '
    set -euo pipefail
    build=$1 handshake=$2 docs=$3
    # A desktop of its own, so the pictures are taken on this screen even when another Wine
    # session of the prefix has its desktop elsewhere.
    wine explorer /desktop=DocShots,1024x768 "$build/tests/doc_shots.exe" \
         "$(winepath -w "$build/SoranoteUpdater.exe")" "$(winepath -w "$handshake")" ${4:+"$4"} &
    shots=$!
    while kill -0 $shots 2>/dev/null; do
      if [ -f "$handshake/request" ]; then
        read -r name x y w h <"$handshake/request"
        if [ -n "${4:-}" ]; then
          # On a palette screen each Wine window has a colormap of its own, which the root
          # window does not show: the main window is taken through its own.
          window=$(xwininfo -root -tree | awk "/\"ソラノート/ && !id { id = \$1 } END { print id }")
          import -window "$window" "$docs/$name.png"
        else
          import -window root -crop "${w}x${h}+${x}+${y}" +repage "$docs/$name.png"
        fi
        echo "screenshots: $docs/$name.png"
        rm -f "$handshake/request"
      fi
      sleep 0.1
    done
    wait $shots
    # The next screen may be of another depth: Wine starts afresh on it.
    wineserver -k 2>/dev/null || true
  ' screenshots "$build" "$handshake" "$root/docs" "$@"
}
shots
cp "$root/docs/flow-install-folder.png" "$root/docs/install-folder-dialog.png"
cp "$root/docs/flow-folder-selection.png" "$root/docs/folder-selection-dialog.png"
SCREEN_DEPTH=8 shots main-window-8bit
# The demo installation was updated while the pictures were taken; put the old version back
# so that the run command still has an update to do.
SORANOTE_DEMO_RESET=1 bash "$root/scripts/demo-install.sh"
