#!/usr/bin/env bash
# Times reading a full package with a picture, and the save's verification.
set -euo pipefail
QT_QPA_PLATFORM=offscreen "$1/bench/package_reader_bench"
