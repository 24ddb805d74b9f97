#!/usr/bin/env bash
# Builds everything and runs every test under Wine (on Xvfb when there is no display).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh"
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
run_tests() {
  # One persistent wineserver for the whole run saves its start-up for every test.
  wineserver -p
  trap 'wineserver -k 2>/dev/null || true' EXIT
  ctest --test-dir "$build" --output-on-failure "$@"
}
export -f run_tests
export build
"$root/scripts/with-display" bash -c 'run_tests "$@"' run_tests "$@"
