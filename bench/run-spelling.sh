#!/usr/bin/env bash
# Spell checking: the window thread's time per keystroke, a 10,000-word
# description checked whole, loading, corrections.
set -euo pipefail
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
QT_QPA_PLATFORM=offscreen XDG_DATA_HOME="$data" "$1/bench/spelling_bench"
