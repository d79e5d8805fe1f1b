#!/usr/bin/env bash
# The draft warning as a screen reader hears it: the real program on a
# headless display with the AT-SPI bus, drafts that cannot be written, and a
# listener on the bus (screen_reader_alert.py). Skipped (77) without the
# AT-SPI tools (at-spi2-core, python3-pyatspi, dbus, xvfb).
set -euo pipefail
program=$1
here=$(cd "$(dirname "$0")" && pwd)

if [ "${1:-}" = inner ]; then
  program=$2
  /usr/libexec/at-spi-bus-launcher --launch-immediately &
  launcher=$!
  work=$(mktemp -d)
  trap 'kill "$launcher" "${app:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
  # The data folder's place is taken by a file: no draft can be written.
  printf 'not a folder' > "$work/data"
  HOME=$work XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=xcb \
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$program" > "$work/program.log" 2>&1 &
  app=$!
  /usr/bin/python3 "$here/screen_reader_alert.py"
  exit $?
fi

for tool in xvfb-run dbus-run-session /usr/libexec/at-spi-bus-launcher; do
  command -v "$tool" > /dev/null || { echo "no $tool: skipped"; exit 77; }
done
/usr/bin/python3 -c 'import pyatspi' 2> /dev/null || { echo "no python3-pyatspi: skipped"; exit 77; }
exec xvfb-run -a -s '-screen 0 1280x1024x24' dbus-run-session -- bash "$0" inner "$program"
