#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite.
#   scripts/run-tests.sh              the normal build (build/)
#   scripts/run-tests.sh --sanitize   the address+undefined sanitizer build (build-asan/)
set -euo pipefail
cd "$(dirname "$0")/.."
"$PWD/scripts/install-deps.sh"

build=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  flags=(-DCMAKE_BUILD_TYPE=Debug -DVENTRA_SANITIZE=ON -DVENTRA_BUILD_BENCH=OFF)
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

cmake -S . -B "$build" -G Ninja "${flags[@]}"
cmake --build "$build"
# Tests never touch the user's real device folder or base folder.
export VENTRAIDE_DEVICES="$(mktemp -d)/devices" QT_QPA_PLATFORM=offscreen
cd "$build"
ctest -j "$(nproc)" --output-on-failure --timeout 600
