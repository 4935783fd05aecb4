#!/usr/bin/env bash
# Sets up, builds brixfilter and runs it on the bundled catalog with a chain of options.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/abhaengigkeiten.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBRIX_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target brixfilter
set -x
./build/brixfilter -f examples/katalog.xml -c -d -sbook,title
