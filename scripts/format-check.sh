#!/usr/bin/env bash
# Fails when a C++ source differs from what clang-format makes of it, and
# names each place.
#
#   format-check.sh [file or folder...]   (default: the whole tree)
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "format-check: clang-format is not installed (make deps-test)" >&2; exit 2; }

if [ $# -gt 0 ]; then
  mapfile -d '' sources < <(find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
elif git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -d '' sources < <(git ls-files -z --cached --others --exclude-standard -- '*.cpp' '*.h')
else
  mapfile -d '' sources < <(find src tests tools bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
fi

# A file deleted but not yet committed is still listed by git.
existing=()
for f in "${sources[@]}"; do [ -f "$f" ] && existing+=("$f"); done
sources=("${existing[@]}")

status=0
if [ ${#sources[@]} -gt 0 ]; then
  clang-format --style="file:$PWD/.clang-format" --dry-run --Werror "${sources[@]}" || status=1
fi
if [ $status -ne 0 ]; then
  echo "format-check: the files above are not formatted; run clang-format -i on them" >&2
else
  echo "format-check: ${#sources[@]} files formatted"
fi
exit $status
