#!/usr/bin/env bash
# Start-up benchmark: wall time from process start to the updater's main window being
# visible, beside a bare Win32 window program (bench/minimal_window.cpp) under the same Wine,
# and the ratio of the two. Prints the figures. Usage: scripts/bench-startup.sh [runs]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh" >/dev/null
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$root/scripts/with-display" bash -c '
  build=$1 runs=$2
  # The bench program keeps the wineserver and its services up, and an unmeasured first run
  # of each program warms the caches, so the figures are of warm starts.
  wine "$build/bench/startup_bench.exe" "$(winepath -w "$build/SoranoteUpdater.exe")" \
       "$(winepath -w "$build/bench/minimal_window.exe")" "$runs" | tr -d "\r"
  # Let Wine let go of the screen before it goes away.
  timeout 10 wineserver -w || true
' bench "$build" "${1:-15}"
