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

# Starts the simulated meter with the given arguments and waits for its READY
# line; fails when it exits first (a port it cannot bind, say).
start_meter() {
  log="$build/metersim.log"
  : >"$log"
  "$build/bin/metersim" "$@" --pty-link "$comdir/COM1" >"$log" 2>&1 &
  sim=$!
  for _ in $(seq 50); do
    grep -q '^READY' "$log" && return 0
    kill -0 "$sim" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

if start_meter --tcp 127.0.0.1:502; then
  echo "Simulated meter: Modbus TCP on 127.0.0.1 port 502 and Modbus RTU on serial port 1, unit 15."
else
  kill "$sim" 2>/dev/null || true
  start_meter --no-tcp || { cat "$build/metersim.log"; exit 1; }
  echo "Simulated meter: Modbus RTU on serial port 1, unit 15."
  echo "(Modbus TCP needs port 502, which only root may open: run this script as root for TCP.)"
fi
trap 'kill $sim 2>/dev/null || true' EXIT

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting the program on a virtual X display (xvfb-run)."
  xvfb-run -a "$build/bin/Ampwright"
else
  "$build/bin/Ampwright"
fi
