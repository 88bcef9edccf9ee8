#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it together with the
# simulated meter. The meter answers at unit address 15 over Modbus TCP on
# 127.0.0.1:502 (needs permission to bind port 502, as root) and over Modbus RTU
# on a pseudo-terminal that the serial port list offers as number 1.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=build
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DAMPWRIGHT_TESTS=OFF -DAMPWRIGHT_BENCH=OFF >/dev/null
cmake --build "$build"

comdir="$PWD/$build/com-ports"
mkdir -p "$comdir"
export AMPWRIGHT_COM_DIR="$comdir"

"$build/bin/metersim" --tcp 127.0.0.1:502 --pty-link "$comdir/COM1" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
sleep 0.5

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting the program on a virtual X display (xvfb-run)."
  xvfb-run -a "$build/bin/Ampwright"
else
  "$build/bin/Ampwright"
fi
