#!/usr/bin/env bash
# The memory of a long scripted session: must not grow.
set -euo pipefail
QT_QPA_PLATFORM=offscreen "$1/bench/session_bench"
