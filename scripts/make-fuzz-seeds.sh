#!/usr/bin/env bash
# Writes the fuzz targets' seed corpora into tests/data/fuzz/<target>/ (run
# after a change of an input format; the corpora are committed).  Files of
# the same name are replaced; others (inputs of earlier findings) stay.  Needs the
# fuzz build (build-fuzz) for the engine targets' tables and indexes.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build-fuzz -j2 --target zer1_make_engine_seeds
build-fuzz/bin/zer1_make_engine_seeds tests/data/fuzz
python3 scripts/make_fuzz_seeds.py tests/data/fuzz
