#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer (clang, so that the libFuzzer targets build too)
# and runs every test, the short fuzz runs included. Ends with CTest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=build-tests
cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DAMPWRIGHT_SANITIZE=ON -DAMPWRIGHT_FUZZ=ON >/dev/null
cmake --build "$build"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$build"
if [ "$(id -u)" -eq 0 ]; then
  ctest --output-on-failure --timeout 600 -j2
else
  # The end-to-end tests serve Modbus TCP on port 502 of 127.0.0.x addresses,
  # which only root may open. A user who is not root runs them in a user and
  # network namespace of their own: root there, with a loopback of its own,
  # and no privilege over anything outside.
  unshare --user --map-root-user --net bash -c \
    'ip link set lo up && ctest --output-on-failure --timeout 600 -j2'
fi
