#!/usr/bin/env bash
# What the tests and the mutation runner reach. Builds everything once more with GCC's coverage
# instrumentation (--coverage -O0) into build/coverage-build/ (its own Wine prefix there), runs
# the programs under Wine, and prints a table of line and branch coverage per folder and per file
# of app/, target/, update/, imaging/ and toolkit/ (generated files, tests, benchmarks, googletest
# and libjpeg are outside those folders and so outside the table). The HTML report, line by line,
# is written to build/coverage/index.html.
#
#   bash scripts/coverage.sh [CTEST ARGS]
#       the test command's tests, the mutation runner's CI-size run among them (the release
#       build's tests, which build an uninstrumented tree of their own, are left out)
#   bash scripts/coverage.sh --fuzz N [RUNNER ARGS]
#       the guided mutation runner alone, N inputs of every format (100000: the long run), with
#       a corpus of its own in build/coverage-build/fuzz-corpus, then the share of each reader's
#       lines it reached; exits non-zero when an input crashed, hung or leaked. FUZZ_JOBS=2 runs
#       two formats at a time (scripts/fuzz.sh).
#
# Counts start from zero on every call. The Windows programs write their counts (.gcda files)
# at exit to the paths GCC compiled in, Linux paths; GCOV_PREFIX=Z: makes them Z:/work/...,
# the Linux root under Wine, whatever drive a program's current folder is on. A process that
# crashes or is ended writes nothing.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cov=${COVERAGE_BUILD_DIR:-$build/coverage-build}
report=$build/coverage

mode=tests
if [ "${1:-}" = --fuzz ]; then
  mode=fuzz
  inputs=${2:?"--fuzz needs a number of inputs per format"}
  shift 2
fi

bash "$root/scripts/setup.sh" --no-wine-prefix
command -v gcovr >/dev/null || { export DEBIAN_FRONTEND=noninteractive; apt-get update -q; apt-get install -y -q --no-install-recommends gcovr; }
cmake -S "$root" -B "$cov" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Coverage -DCMAKE_C_FLAGS="--coverage -O0" -DCMAKE_CXX_FLAGS="--coverage -O0" \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage -DSORANOTE_CLANG_CHECK=OFF >/dev/null
cmake --build "$cov"
find "$cov" -name '*.gcda' -delete
export GCOV_PREFIX=Z: GCOV_PREFIX_STRIP=0

status=0
if [ $mode = tests ]; then
  BUILD_DIR=$cov bash "$root/scripts/test.sh" -E '^Release' "$@" || status=$?
else
  BUILD_DIR=$cov FUZZ_INPUTS=$inputs bash "$root/scripts/fuzz.sh" --corpus "$cov/fuzz-corpus" "$@" || status=$?
fi

rm -rf "$report"
mkdir -p "$report"
gcovr --root "$root" --gcov-executable x86_64-w64-mingw32-gcov-posix -j 2 \
  --filter "$root/(app|target|update|imaging|toolkit)/" --exclude-throw-branches \
  --html-details "$report/index.html" --json-summary "$report/summary.json" "$cov" >/dev/null
python3 "$root/scripts/coverage_table.py" "$report/summary.json" $mode
echo "HTML report: $report/index.html"
exit $status
