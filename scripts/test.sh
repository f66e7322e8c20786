#!/usr/bin/env bash
# Installs what is missing, builds the test suite (with AddressSanitizer and UBSan) and runs it, then
# runs the fuzz targets for a bounded time (scripts/fuzz.sh; QOS_FUZZ_SECONDS per target, 0 skips).
# Exits non-zero when any test fails or a fuzz target finds a fault.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD=${QOS_TEST_BUILD:-build/test}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQOS_SANITIZE=ON >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ROOT=$PWD
cd "$BUILD"
rc=0
ctest --output-on-failure --timeout 600 "$@" 2>&1 | tee ctest.log || rc=$?
cd "$ROOT"
if [ "${QOS_FUZZ_SECONDS:-60}" != 0 ]; then
  bash scripts/fuzz.sh || rc=1
fi
# The verdict last, where a log's tail shows it.
sed -n '/tests passed,/,$p' "$BUILD/ctest.log"
exit $rc
