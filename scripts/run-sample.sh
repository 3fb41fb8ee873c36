#!/usr/bin/env bash
# Sets up, builds and prints the full analysis of one station of the embedded sample.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target ua_parse
cd data
../build/ua_parse -ba -me out4 -id "${1:-OAX}" sample.upa
