#!/usr/bin/env bash
# Sets up a fresh machine, builds with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZER1_SANITIZE=ON -DZER1_BUILD_BENCH=OFF
cmake --build build-asan -j2
cd build-asan
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
