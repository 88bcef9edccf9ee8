#!/usr/bin/env bash
# Checks the gateway's service unit as systemd reads it (systemd-analyze
# verify), with the built command-line tool in place of the installed one.
# Usage: verify_service_unit.sh <unit file> <ampwright-cli>
set -euo pipefail
unit=${1:?unit file}
cli=${2:?ampwright-cli}
command -v systemd-analyze >/dev/null || { echo "SKIP: no systemd-analyze"; exit 77; }

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
name=$(basename "$unit")
sed "s|/usr/bin/ampwright-cli|$cli|" "$unit" >"$dir/$name"
grep -q "^ExecStart=$cli serve --config /etc/ampwright/gateway.conf$" "$dir/$name" \
  || { echo "FAIL: ExecStart is not 'ampwright-cli serve --config /etc/ampwright/gateway.conf'"; exit 1; }
grep -q "^AmbientCapabilities=CAP_NET_BIND_SERVICE$" "$dir/$name" \
  || { echo "FAIL: the unit does not let the gateway bind port 502 (AmbientCapabilities)"; exit 1; }
# The manual page is the package's (tests/package checks it is there).
out=$(systemd-analyze verify --man=no "$dir/$name" 2>&1) || { echo "$out"; echo "FAIL: systemd-analyze verify"; exit 1; }
# verify passes some mistakes with a warning only: none may be about this unit.
if grep -F "$name" <<<"$out"; then
  echo "FAIL: systemd-analyze found something in $name"
  exit 1
fi
echo "OK"
