#!/usr/bin/env bash
# Fails when the program names the phasor control library among its needed
# shared libraries: the program must find that library at run time through
# the control registry, never through the dynamic linker.
# Usage: check_no_control_link.sh <program>
set -uo pipefail

program=${1:?usage: $0 <program>}
if [ ! -f "$program" ]; then
  echo "FAIL: $program does not exist" >&2
  exit 1
fi

if ! dynamic=$(LC_ALL=C readelf -d "$program" 2>&1); then
  echo "FAIL: readelf -d $program failed:" >&2
  echo "$dynamic" >&2
  exit 1
fi

needed=$(printf '%s\n' "$dynamic" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p')
# A program built with Qt needs at least Qt's core library; an empty or
# Qt-less list means the section was not read, not that it is clean.
if ! printf '%s\n' "$needed" | grep -q '^libQt6Core'; then
  echo "FAIL: no usable NEEDED list in $program:" >&2
  echo "$dynamic" >&2
  exit 1
fi

if offending=$(printf '%s\n' "$needed" | grep -i 'gyroscribe'); then
  echo "FAIL: $program is linked against the control library: $offending" >&2
  exit 1
fi

echo "OK: $(printf '%s\n' "$needed" | wc -l) needed libraries, none of them the control library"
printf '  %s\n' $needed
