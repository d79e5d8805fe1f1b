#!/usr/bin/env bash
# Fails when any binary given links Qt Widgets, directly or through a library.
set -euo pipefail
status=0
for binary in "$@"; do
  if ldd "$binary" | grep -q 'libQt6Widgets'; then
    echo "$(basename "$binary") links Qt Widgets" >&2
    status=1
  else
    echo "$(basename "$binary"): no Qt Widgets"
  fi
done
[ "$#" -gt 0 ] || { echo "no binaries given" >&2; exit 1; }
exit $status
