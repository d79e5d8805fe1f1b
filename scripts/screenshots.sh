#!/usr/bin/env bash
# Renders the window's sheets and the dialogs into docs/screenshots.
set -euo pipefail
build=${1:-build}
cmake --build "$build" --target screenshots -j "$(nproc)"
QT_QPA_PLATFORM=offscreen "$build/screenshots" docs/screenshots
ls docs/screenshots
