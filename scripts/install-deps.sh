#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev libgl-dev
  libqt6sql6-sqlite libqt6sql6-psql postgresql
  mbpoll libmodbus-dev
  prometheus-cpp-dev prometheus libmicrohttpd-dev libcrypt-dev libjs-chart.js chromium
  libmosquitto-dev libssl-dev mosquitto mosquitto-clients systemd
  xvfb xauth fonts-wqy-microhei
  dpkg-dev lintian desktop-file-utils iproute2 qt6-qpa-plugins
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
