#!/usr/bin/env bash
# Times a letter typed after a 1,000,000-character line in a memo, and the
# draft that follows it.
set -euo pipefail
QT_QPA_PLATFORM=offscreen "$1/bench/long_paste_bench"
