#!/usr/bin/env bash
# Builds the libFuzzer targets in a clang build dir of their own and runs each for a bounded time on
# the committed seed corpus. Exits non-zero when a target finds a fault (the input that shows it is
# left in the build dir as crash-* and printed).
#   QOS_FUZZ_SECONDS  seconds per target (default 60)
#   QOS_FUZZ_BUILD    build dir (default build/fuzz)
#   QOS_FUZZ_JOBS     build jobs (default: the number of cores)
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${QOS_FUZZ_SECONDS:-60}
BUILD=${QOS_FUZZ_BUILD:-build/fuzz}
JOBS=${QOS_FUZZ_JOBS:-$(nproc)}
ROOT=$PWD
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DQOS_FUZZ=ON -DQOS_BUILD_TESTS=OFF -DQOS_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" --target fuzz_graph fuzz_notes -j"$JOBS"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for target in graph notes; do
  # New inputs go to a scratch copy; the committed seeds stay as they are.
  corpus="$BUILD/corpus/$target"
  mkdir -p "$corpus"
  cp -n "$ROOT/tests/fuzz/corpus/$target/"* "$corpus/"
  echo "fuzz_$target: ${SECONDS_EACH}s"
  if ! (cd "$BUILD" && "./bin/fuzz_$target" -max_total_time="$SECONDS_EACH" -max_len=8192 -timeout=10 \
      -print_final_stats=1 "corpus/$target"); then
    echo "fuzz_$target found a fault" >&2
    status=1
  fi
done
exit $status
