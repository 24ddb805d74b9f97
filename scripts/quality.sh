#!/usr/bin/env bash
# Every quality figure of the program in one table: each benchmark's ratio, the release exe's
# own weight, the mutation runner's long run (100,000 inputs per format) with its crashes,
# hangs and leaks, and the GDI objects and windows before and after the long loops (each
# window opened and closed 100 times, 1,000 picture loads and draws; tests/soak/GuiSoak.cpp).
# Exits non-zero on a crash, a hang, a leak or a benchmark that fails. Takes about a quarter
# of an hour on two cores; the logs stay in build/quality/.
#   FUZZ_INPUTS=N  inputs per format (default 100000)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
results=$build/quality
bash "$root/scripts/build.sh" >/dev/null
rm -rf "$results"
mkdir -p "$results"
echo "quality: the release build" >&2
# Unsigned, with the default build's stand-in as its payload: the weight is what is measured.
RELEASE_DIR=${RELEASE_DIR:-$root/build-release} SORANOTE_UNSIGNED=1 bash "$root/scripts/release.sh" \
  -DSORANOTE_PAYLOAD="$build/standin/Soranote.exe" >"$results/release.log" 2>&1 ||
  { cat "$results/release.log" >&2; exit 1; }

export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
measure() {
  wineserver -p
  trap 'wineserver -k 2>/dev/null || true' EXIT
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  local bench status
  for bench in "$build"/bench/*_bench.exe; do
    name=$(basename "$bench" .exe)
    [ "$name" = startup_bench ] && continue
    echo "quality: $name" >&2
    status=0
    wine "$bench" </dev/null >"$results/$name.log" 2>&1 || status=$?
    echo "exit $status" >>"$results/$name.log"
  done
  # Start-up: warm starts of the updater against a bare window program (scripts/bench-startup.sh).
  echo "quality: startup_bench" >&2
  status=0
  wine "$build/bench/startup_bench.exe" "$(winepath -w "$build/SoranoteUpdater.exe")" \
       "$(winepath -w "$build/bench/minimal_window.exe")" 15 </dev/null >"$results/startup_bench.log" 2>&1 || status=$?
  echo "exit $status" >>"$results/startup_bench.log"
  echo "quality: the long loops of windows and pictures" >&2
  status=0
  wine "$build/tests/gui_soak.exe" 100 1000 </dev/null >"$results/gui_soak.log" 2>&1 || status=$?
  echo "exit $status" >>"$results/gui_soak.log"
  # The formats run two at a time, one runner each, the slow JPEG readers first so the two
  # finish together.
  echo "quality: the mutation runner, ${FUZZ_INPUTS:-100000} inputs per format" >&2
  formats=$(grep -o '{"[A-Za-z0-9]*", Fuzz' "$root/tests/fuzz/targets/FuzzTargets.cpp" | cut -d'"' -f2 |
            awk '/JPEG/ {print; next} {rest = rest $0 "\n"} END {printf "%s", rest}')
  [ -n "$formats" ] || { echo "quality: no formats found in FuzzTargets.cpp" >"$results/fuzz-none.log"; return; }
  echo "$formats" >"$results/fuzz-formats.txt"
  echo "$formats" | xargs -P 2 -I{} bash -c '
    status=0
    wine "$1/tests/fuzz_runner.exe" --inputs "$3" --format "$4" --findings "$1/fuzz-findings" \
         </dev/null >"$2/fuzz-$4.log" 2>&1 || status=$?
    echo "exit $status" >>"$2/fuzz-$4.log"' fuzz "$build" "$results" "${FUZZ_INPUTS:-100000}" {}
}
export -f measure
export build results root
"$root/scripts/with-display" bash -c measure
python3 "$root/scripts/quality_table.py" "$results"
