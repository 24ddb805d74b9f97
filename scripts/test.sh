#!/usr/bin/env bash
# Builds everything and runs every test under Wine (on Xvfb when there is no display), then
# the palette-screen tests (label palette_screen) on a private Xvfb screen of 8 bits per pixel.
# Arguments go to both ctest runs.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh"
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
run_tests() {
  # One persistent wineserver for the whole run saves its start-up for every test.
  wineserver -p
  trap 'wineserver -k 2>/dev/null || true' EXIT
  # The first program of a new wineserver starts Wine's background services, which keep its
  # output open for as long as the server lives; if that program were a test, CTest would
  # wait for that output to end, for ever. Start them from a program with no output instead.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  # No test may hang the run: each has two minutes at most.
  ctest --test-dir "$build" --output-on-failure --timeout 120 "$@"
}
export -f run_tests
export build
"$root/scripts/with-display" bash -c 'run_tests "$@"' run_tests -LE palette_screen "$@"
# A wineserver of its own, so Wine sees the 8-bit screen from its start.
SCREEN_DEPTH=8 SORANOTE_PALETTE_SCREEN=1 "$root/scripts/with-display" bash -c 'run_tests "$@"' run_tests \
  -L palette_screen "$@"
