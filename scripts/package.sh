#!/usr/bin/env bash
# Builds the Debian package of the program, the phasor control library, the
# command-line tool and the simulated meter: build-package/ampwright_*.deb
# (another folder as the first argument). Prints the package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=${1:-build-package}
# Debian's hardening: fortified functions, stack protector, read-only
# relocations bound at start-up (the compiler makes position-independent
# executables by default).
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_COMPILER=g++ \
  -DAMPWRIGHT_TESTS=OFF -DAMPWRIGHT_BENCH=OFF -DAMPWRIGHT_SANITIZE=OFF -DAMPWRIGHT_FUZZ=OFF \
  -DGYROSCRIBE_REGISTER_AFTER_BUILD=OFF \
  -DCMAKE_CXX_FLAGS="-D_FORTIFY_SOURCE=2 -fstack-protector-strong" \
  -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro,-z,now" \
  -DCMAKE_SHARED_LINKER_FLAGS="-Wl,-z,relro,-z,now" >/dev/null
cmake --build "$build"
(cd "$build" && cpack -G DEB >/dev/null)
ls "$(cd "$build" && pwd)"/ampwright_*.deb | tail -n 1
