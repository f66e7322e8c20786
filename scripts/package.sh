#!/usr/bin/env bash
# Installs what is missing, builds a release and packs it as a Debian package:
# build/package/qor-online-status_<version>_<arch>.deb (install it with apt-get install ./<file>).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD=${QOS_PACKAGE_BUILD:-build/package}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQOS_BUILD_TESTS=OFF -DQOS_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
(cd "$BUILD" && cpack -G DEB >/dev/null)
ls "$BUILD"/*.deb
