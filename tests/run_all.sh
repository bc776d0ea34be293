#!/usr/bin/env bash
# Builds the programs and the test suite from scratch and runs every test.
# Usage: bash tests/run_all.sh        (from the repository's top folder)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

echo "== release build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure --no-tests=error -j"$jobs"
