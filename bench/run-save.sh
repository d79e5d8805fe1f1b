#!/usr/bin/env bash
# Times saving a full passport with a picture through the real archiver.
set -euo pipefail
QT_QPA_PLATFORM=offscreen "$1/bench/save_bench"
