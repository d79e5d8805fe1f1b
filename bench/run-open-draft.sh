#!/usr/bin/env bash
# Times opening a full package with a picture, and writing drafts.
set -euo pipefail
QT_QPA_PLATFORM=offscreen "$1/bench/open_draft_bench"
