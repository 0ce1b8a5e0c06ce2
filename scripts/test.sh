#!/usr/bin/env bash
# Sets up a fresh machine, builds with AddressSanitizer and UndefinedBehaviorSanitizer
# (the benchmarks included, so that they keep compiling) and runs the whole
# test suite.  Every test has a time limit, and a suite that finds no tests
# fails.  Where clang is installed, the fuzz targets are built too and each
# runs over its seed corpus and for a few seconds more before the suite, so
# that the suite's summary closes the output.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZER1_SANITIZE=ON \
  -DZER1_BUILD_BENCH=ON "${launcher[@]}"
cmake --build build-asan -j2
if command -v clang++ >/dev/null; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DZER1_FUZZ=ON -DZER1_BUILD_TESTS=OFF -DZER1_BUILD_BENCH=OFF "${launcher[@]}"
  cmake --build build-fuzz -j2 --target zer1_fuzz_targets
  # Each target replays its seed corpus (with the inputs of earlier findings)
  # and then fuzzes for 10 seconds; any fault fails the build.
  scripts/fuzz.sh -n -t 10 all
else
  echo "clang++ not found: the fuzz targets were not built" >&2
fi
(
  cd build-asan
  QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 300 --no-tests=error
)
