#!/usr/bin/env bash
# The layer table in CONTRIBUTING.md says what scripts/layers.txt says: the
# same edges, no more, no fewer.
# Usage: documented.sh SOURCE_DIR
set -euo pipefail
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sed 's/#.*//' "$root/scripts/layers.txt" | awk 'NF == 2 { print $1, $2 }' | LC_ALL=C sort -u >"$work/table"
# Rows "| `from/` | `to/`, `to/` |" of the table under "## Layers".
awk '/^## / { on = ($0 == "## Layers") } on && /^ *\| `[a-z_]+\/` \|/ {
  n = split($0, col, "|")
  from = col[2]; gsub(/[ `\/]/, "", from)
  rest = col[3]
  while (match(rest, /`[a-z_]+\/`/)) {
    to = substr(rest, RSTART + 1, RLENGTH - 3)
    print from, to
    rest = substr(rest, RSTART + RLENGTH)
  }
}' "$root/CONTRIBUTING.md" | LC_ALL=C sort -u >"$work/docs"

[ -s "$work/docs" ] || { echo "CONTRIBUTING.md has no layer table under \"## Layers\"" >&2; exit 1; }
if ! diff "$work/table" "$work/docs" >"$work/diff"; then
  echo "CONTRIBUTING.md and scripts/layers.txt differ (< only in the table, > only in CONTRIBUTING.md):" >&2
  grep '^[<>]' "$work/diff" >&2
  exit 1
fi
echo "CONTRIBUTING.md shows the $(wc -l <"$work/table") edges of scripts/layers.txt"
