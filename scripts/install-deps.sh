#!/usr/bin/env bash
# Installs everything the build, the demo and the test suite need on Debian 12.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
PKGS=(
  cmake g++ ninja-build pkg-config
  qt6-base-dev qt6-multimedia-dev libqt6svg6 qt6-qpa-plugins
  # the metrics: prometheus-cpp's registry and text format (it brings civetweb for its own exposer)
  prometheus-cpp-dev
  # a real Prometheus server and promtool for the metrics tests
  prometheus
  # screen, tray, sound and the session bus for the desktop tests
  xvfb xdotool trayer imagemagick x11-utils pulseaudio pulseaudio-utils dbus-daemon
  # the accessibility bus and a screen reader's view of it for the accessibility test
  at-spi2-core python3-pyatspi
  # ICMP test hosts and permissions
  iproute2 nftables libcap2-bin util-linux procps
  # the Debian package: dependencies (dpkg-shlibdeps) and the validators of its menu entry and AppStream data
  dpkg-dev desktop-file-utils appstream
  # reference pinger for the benchmark
  fping
  # the fuzz targets: clang and its libFuzzer runtime
  clang libclang-rt-14-dev
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
