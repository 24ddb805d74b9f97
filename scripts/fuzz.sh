#!/usr/bin/env bash
# Runs the mutation runner long: 100,000 inputs of every format (FUZZ_INPUTS to change it),
# prints the counts per format and exits non-zero when any input crashed, hung or leaked.
# Further arguments go to the runner (--seed S, --format NAME, --batch N, --hang-ms N).
# Failing inputs are saved in build/fuzz-findings.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh"
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
run_fuzz() {
  wineserver -p
  trap 'wineserver -k 2>/dev/null || true' EXIT
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  wine "$build/tests/fuzz_runner.exe" --inputs "${FUZZ_INPUTS:-100000}" --findings "$build/fuzz-findings" "$@"
}
export -f run_fuzz
export build
"$root/scripts/with-display" bash -c 'run_fuzz "$@"' run_fuzz "$@"
