#!/usr/bin/env bash
# Fails when a program names a shared library matching a pattern among its
# needed libraries (readelf -d): the program must do without it, or reach it
# only at run time.
# Usage: check_not_linked.sh <program> <extended regex of library names>
set -uo pipefail

program=${1:?usage: $0 <program> <pattern>}
pattern=${2:?usage: $0 <program> <pattern>}
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

if offending=$(printf '%s\n' "$needed" | grep -iE "$pattern"); then
  echo "FAIL: $program is linked against: $offending" >&2
  exit 1
fi

echo "OK: $(printf '%s\n' "$needed" | wc -l) needed libraries, none matching $pattern"
printf '  %s\n' $needed
