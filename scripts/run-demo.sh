#!/usr/bin/env bash
# Installs what is missing, builds a release and starts the monitor on the bundled demo folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD=${QOS_RELEASE_BUILD:-build/release}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQOS_BUILD_TESTS=OFF -DQOS_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target qor-online-status
EXE="$BUILD/bin/qor-online-status"
# Let the monitor send echo requests without running as root.
if [ "$(id -u)" -eq 0 ]; then setcap cap_net_raw+ep "$EXE" 2>/dev/null || true
elif command -v sudo >/dev/null; then sudo setcap cap_net_raw+ep "$EXE" 2>/dev/null || true; fi
exec "$EXE"
