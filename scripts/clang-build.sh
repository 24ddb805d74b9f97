#!/usr/bin/env bash
# The second compiler in full: builds the updater and the unit tests with clang for the same
# target (cmake/clang-mingw-w64-x86_64.cmake) into build/clang-build/, -Wall -Wextra with
# warnings as errors, and runs the unit tests under Wine in the default build's prefix.
# Not part of the test command, whose build checks every source with clang for warnings only
# (cmake/ClangCheck.cmake). Arguments go to the unit test program (e.g. --gtest_filter=...).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
clang_build=$build/clang-build
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$clang_build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/clang-mingw-w64-x86_64.cmake" \
  -DSORANOTE_CLANG_CHECK=OFF >/dev/null
cmake --build "$clang_build" --target SoranoteUpdater unit_tests
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cd "$clang_build"
"$root/scripts/with-display" bash -c 'wineserver -p; trap "wineserver -k 2>/dev/null || true" EXIT
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  wine tests/unit_tests.exe "$@"' unit_tests "$@"
