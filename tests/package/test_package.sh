#!/usr/bin/env bash
# Builds the Debian package and checks it as a technician's machine would see
# it: its files, its desktop entry, lintian, and the unpacked program going
# online to the packaged simulated meter and showing live values.
# Usage: test_package.sh <build folder for the package> <window driver library>
set -euo pipefail
build=${1:?build folder}
driver=${2:?driver library}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

deb=$("$source_dir/scripts/package.sh" "$build" | tail -n 1)
echo "package: $deb"
root=$(mktemp -d)
trap 'kill "${sim:-}" 2>/dev/null || true; rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

lib=$root/usr/lib/ampwright
for file in usr/bin/ampwright usr/bin/ampwright-cli usr/bin/ampwright-metersim \
            usr/lib/ampwright/Ampwright usr/lib/ampwright/libgyroscribe.so usr/lib/ampwright/regcontrol \
            usr/lib/ampwright/english.ini usr/lib/ampwright/chinese.ini usr/lib/ampwright/Japanese.ini \
            usr/lib/ampwright/titlee.txt usr/lib/ampwright/titlec.txt usr/lib/ampwright/titlej.txt \
            usr/share/applications/ampwright.desktop usr/share/icons/hicolor/scalable/apps/ampwright.svg \
            usr/share/doc/ampwright/copyright usr/share/man/man1/ampwright-cli.1.gz \
            lib/systemd/system/ampwright-gateway.service etc/ampwright/gateway.conf; do
  [ -e "$root/$file" ] || { echo "FAIL: $file missing from the package"; exit 1; }
done
[ "$(readlink "$root/usr/bin/ampwright")" = ../lib/ampwright/Ampwright ] || { echo "FAIL: /usr/bin/ampwright"; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || { echo "FAIL: no dependency on Qt Widgets"; exit 1; }
desktop-file-validate "$root/usr/share/applications/ampwright.desktop"
# The gateway: its example configuration is a conffile, its service starts
# only once enabled, and it can reach its broker and make its user.
[ "$(dpkg-deb -I "$deb" conffiles)" = /etc/ampwright/gateway.conf ] || { echo "FAIL: gateway.conf is not the conffile"; exit 1; }
[ ! -e "$root/etc/systemd" ] || { echo "FAIL: the package enables a service"; exit 1; }
grep -qx 'ExecStart=/usr/bin/ampwright-cli serve --config /etc/ampwright/gateway.conf' \
  "$root/lib/systemd/system/ampwright-gateway.service" || { echo "FAIL: the service does not run serve"; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q libmosquitto1 || { echo "FAIL: no dependency on libmosquitto"; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q libmicrohttpd12 || { echo "FAIL: no dependency on libmicrohttpd"; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q adduser || { echo "FAIL: no dependency on adduser"; exit 1; }
lintian --fail-on error --suppress-tags initial-upload-closes-no-bugs "$deb"

# The control registered as the package's postinst does, in a registry of
# the test's own.
export CONTROL_REGISTRY=$root/registry.ini
"$lib/regcontrol" "$lib/libgyroscribe.so"

# The packaged simulated meter, and the unpacked program against it.
address=127.0.64.1
"$lib/metersim" --tcp "$address:502" >"$root/metersim.log" 2>&1 &
sim=$!
for _ in $(seq 100); do grep -q '^READY' "$root/metersim.log" && break; sleep 0.1; done
grep -q '^READY' "$root/metersim.log" || { cat "$root/metersim.log"; echo "FAIL: the simulated meter did not start"; exit 1; }

"$root/usr/bin/ampwright-cli" read --tcp "$address" --format json | grep -q '"firmware":"V3705A00"' \
  || { echo "FAIL: the packaged tool read no firmware"; exit 1; }
out=$(HOME="$root/home" QT_QPA_PLATFORM=offscreen DRIVE_METER=$address LD_PRELOAD="$driver" \
      timeout 120 "$root/usr/bin/ampwright" 2>"$root/program.log") || true
echo "$out"
case "$out" in
  "LIVE firmware=V3705A00 voltage=230.00000 title=Ampwright - Three-Phase Meter Service Tool"*) echo "OK" ;;
  *) cat "$root/program.log"; echo "FAIL: the installed program showed no live values"; exit 1 ;;
esac
