#!/usr/bin/env bash
# Runs a test without privileges. As root it runs in a user namespace whose
# user owns root's files but holds no privilege over them, so that a device
# file's permissions apply as they do to a technician's account.
set -euo pipefail
if [ "$(id -u)" -eq 0 ]; then
  exec unshare --user --map-user=1000 --map-group=1000 "$@"
fi
exec "$@"
