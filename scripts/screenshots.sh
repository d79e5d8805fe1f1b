#!/usr/bin/env bash
# Renders the window's sheets and the dialogs into docs/screenshots.
set -euo pipefail
build=${1:-build}
cmake --build "$build" --target screenshots -j "$(nproc)"
# A laptop's screen, so that the dialogs open as they would there.
QT_QPA_PLATFORM="offscreen:configfile=tools/screenshots_screen.json" "$build/screenshots" docs/screenshots
ls docs/screenshots
