#!/usr/bin/env bash
# Runs the mutation runner long: 100,000 inputs of every format (FUZZ_INPUTS to change it),
# prints the counts per format and exits non-zero when any input crashed, hung or leaked.
# Further arguments go to the runner (--seed S, --format NAME, --batch N, --hang-ms N, --corpus DIR).
# FUZZ_JOBS=N runs N formats at a time, one runner each, the slow JPEG formats first; each
# runner's output is kept in build/fuzz-logs/ and shown when all have ended.
# Failing inputs are saved in build/fuzz-findings, the corpus in build/fuzz-corpus.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh"
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
run_fuzz() {
  wineserver -p
  trap 'wineserver -k 2>/dev/null || true' EXIT
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  local runner=("$build/tests/fuzz_runner.exe" --inputs "${FUZZ_INPUTS:-100000}" --findings "$build/fuzz-findings")
  if [ "${FUZZ_JOBS:-1}" -le 1 ]; then
    wine "${runner[@]}" "$@"
    return
  fi
  local logs=$build/fuzz-logs formats status=0
  rm -rf "$logs"
  mkdir -p "$logs"
  formats=$(wine "$build/tests/fuzz_runner.exe" --list </dev/null | tr -d '\r' |
            awk '/JPEG/ {print; next} {rest = rest $0 "\n"} END {printf "%s", rest}')
  export -f fuzz_one
  export logs
  printf '%s\n' $formats | xargs -P "$FUZZ_JOBS" -I{} bash -c 'fuzz_one "$@"' fuzz_one {} "${runner[@]}" "$@" || status=$?
  for format in $formats; do cat "$logs/$format.log"; done
  return $status
}
fuzz_one() {
  local format=$1
  shift
  wine "$@" --format "$format" </dev/null >"$logs/$format.log" 2>&1
}
export -f run_fuzz fuzz_one
export build
"$root/scripts/with-display" bash -c 'run_fuzz "$@"' run_fuzz "$@"
