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
  # The first program of a new wineserver starts Wine's background services, which keep its
  # output open for as long as the server lives; if that program were a test, CTest would
  # wait for that output to end, for ever. Start them from a program with no output instead.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  # No test may hang the run: each has two minutes at most.
  ctest --test-dir "$build" --output-on-failure --timeout 120 "$@"
}
export -f run_tests
export build
"$root/scripts/with-display" bash -c 'run_tests "$@"' run_tests "$@"
