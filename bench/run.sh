#!/usr/bin/env bash
# Runs every benchmark script (bench/run-*.sh) against a Release build and
# prints their figures.
set -euo pipefail
build=$(cd "${1:-build-bench}" && pwd)
cd "$(dirname "$0")"
shopt -s nullglob
scripts=(run-*.sh)
if [ ${#scripts[@]} -eq 0 ]; then
  echo "no benchmarks yet"
fi
for script in "${scripts[@]}"; do
  echo "== ${script#run-}"
  bash "$script" "$build"
done
