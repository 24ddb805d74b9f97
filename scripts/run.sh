#!/usr/bin/env bash
# Builds everything and starts SoranoteUpdater.exe under Wine: on your X display when there
# is one; otherwise on a private Xvfb screen, leaving a screenshot of the main window.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh"
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
bash "$root/scripts/demo-install.sh"
exe="$build/SoranoteUpdater.exe"
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec wine "$exe"
fi
# Wine started above had no screen; let it end, so the updater's Wine session opens on the
# private screen below.
wineserver -w
shot=${SCREENSHOT:-$build/screenshots/main-window.png}
mkdir -p "$(dirname "$shot")"
"$root/scripts/with-display" bash -c '
  wine explorer /desktop=SoranoteUpdater,1024x768 "$1" & pid=$!
  for _ in $(seq 100); do
    xwininfo -root -tree 2>/dev/null | grep -q "ソラノート\|SoranoteUpdater" && break; sleep 0.2
  done
  sleep 1.5
  import -window root "$2"
  kill $pid 2>/dev/null; wineserver -k 2>/dev/null || true
' run "$exe" "$shot"
echo "No display: the updater ran on a private screen. Screenshot of its main window: $shot"
