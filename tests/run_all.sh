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

# The same suite again in a separate unoptimised (-O0) build with
# AddressSanitizer and UndefinedBehaviorSanitizer; any report from either
# ends the test that caused it.  The end-to-end fixtures compare every report
# and console byte for byte in both builds, so the two passing together also
# shows that the optimised and the unoptimised code compute bit-identical
# results.  The fuzz corpus replays run here too, under the sanitizers.
echo "== sanitizer build (-O0, address and undefined behaviour) and tests"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DITERSOLVE_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure --no-tests=error -j"$jobs"
