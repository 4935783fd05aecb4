#!/usr/bin/env bash
# Sets up, builds and runs every test twice: a plain optimised build, and a build with
# AddressSanitizer and UndefinedBehaviorSanitizer. Line tables only (-g1): enough for the
# sanitizers' and debuggers' stack traces, and quicker to build than full debug information.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/abhaengigkeiten.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
  -DBRIX_TESTS=ON -DBRIX_WERROR=ON
cmake --build build -j"$jobs"
ctest --test-dir build -j"$jobs" --output-on-failure

cmake -S . -B build-san -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DBRIX_TESTS=ON -DBRIX_SANITIZE=ON \
  -DBRIX_WERROR=ON
cmake --build build-san -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-san -j"$jobs" --output-on-failure
