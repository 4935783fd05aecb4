#!/usr/bin/env bash
# Sets up, builds brixfilter (optimised, in build-release/, the folder the install and package
# commands of the README use) and runs it on the bundled catalog with a chain of options.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/abhaengigkeiten.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DBRIX_TESTS=OFF >/dev/null
cmake --build build-release -j"$(nproc)"
set -x
./build-release/brixfilter -f examples/katalog.xml -c -d -sbook,title
