#!/usr/bin/env bash
# Runs fuzz targets, each for a given time, over a working copy of its seed
# corpus (tests/data/fuzz/<target>/ stays as committed).  Builds the targets
# in build-fuzz first.  Crash, leak, timeout and out-of-memory inputs are kept
# in fuzz-findings/<target>/, the grown corpus in fuzz-work/<target>/, the
# log in fuzz-findings/<target>.log.  Targets run one after the other; start
# two scripts to run two at a time.
#   scripts/fuzz.sh [-t SECONDS] TARGET...   (default 600 seconds)
#   scripts/fuzz.sh -n ...         the same without building first (for a
#                                  second script while the first runs)
#   scripts/fuzz.sh -r TARGET...   runs each input of the seed corpus (which
#                                  holds the inputs of earlier findings) once
# CI (scripts/test.sh) runs "-n -t 10 all": the corpus, then 10 seconds more.
# Targets: zip dbf ntx expr dgh fotoco sdf price ini, or "all".
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=600
replay=0
build=1
while getopts "t:rn" option; do
  case $option in
    t) seconds=$OPTARG ;;
    n) build=0 ;;
    r) replay=1 ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
all_targets=(zip dbf ntx expr dgh fotoco sdf price ini)
if [ $# -eq 0 ]; then
  echo "usage: scripts/fuzz.sh [-t SECONDS | -r] TARGET... (${all_targets[*]} or all)" >&2
  exit 2
fi
targets=("$@")
[ "$1" = all ] && targets=("${all_targets[@]}")

if [ $build -eq 1 ] && [ ! -f build-fuzz/build.ninja ]; then
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DZER1_FUZZ=ON -DZER1_BUILD_TESTS=OFF -DZER1_BUILD_BENCH=OFF "${launcher[@]}"
fi
if [ $build -eq 1 ]; then
  cmake --build build-fuzz -j2 --target $(printf 'zer1_%s_fuzz ' "${targets[@]}")
fi

limits=(-rss_limit_mb=2048 -timeout=10 -max_len=65536)
status=0
for target in "${targets[@]}"; do
  binary=build-fuzz/bin/zer1_${target}_fuzz
  seeds=tests/data/fuzz/$target
  findings=fuzz-findings/$target
  mkdir -p "$findings"
  if [ $replay -eq 1 ]; then
    # Every seed once: an earlier finding that comes back fails here.
    if ! "$binary" "${limits[@]}" -runs=0 "$seeds" >"$findings.log" 2>&1; then
      echo "fuzz target $target failed on its seed corpus:" >&2
      tail -40 "$findings.log" >&2
      status=1
    else
      echo "fuzz target $target: $(grep -c . <(ls "$seeds")) seeds replayed"
    fi
    continue
  fi
  work=fuzz-work/$target
  mkdir -p "$work"
  cp -n "$seeds"/* "$work"/ 2>/dev/null || true
  echo "fuzzing $target for ${seconds}s (log $findings.log)"
  if ! nice "$binary" "${limits[@]}" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$findings/" "$work" >"$findings.log" 2>&1; then
    echo "fuzz target $target found a fault; input kept in $findings/" >&2
    status=1
  fi
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb|^#[0-9]+.*DONE" "$findings.log" || true
done
exit $status
