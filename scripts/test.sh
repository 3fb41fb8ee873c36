#!/usr/bin/env bash
# Sets up, builds and runs every test: a plain build in build/ and a build under
# AddressSanitizer and UndefinedBehaviorSanitizer in build-san/, both with warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DZUD_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-san -DZUD_WERROR=ON -DZUD_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-san -j "$jobs"
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 \
  ctest --test-dir build-san --output-on-failure -j "$jobs"
