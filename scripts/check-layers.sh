#!/usr/bin/env bash
# Checks the include rules of the layers; a breach fails the build.
#   - A rule file (a source of tirlada_rules) includes no Qt Widgets header,
#     nothing of gui/ or app/, and no generated form.
#   - core/ includes nothing but core/.
#   - No feature and nothing of gui/ includes app/.
#   - model/ (the passport model, a rule folder) is included by app/ only.
#   - Only app/ includes the window's generated form ui_passport_window.h.
# Usage: check-layers.sh SOURCE_DIR QT_WIDGETS_INCLUDE_DIRS (a CMake list)
set -euo pipefail
src="$1/src"
widgets_dir=""
IFS=';' read -r -a dirs <<< "${2:-}"
for d in "${dirs[@]}"; do
  case "$d" in */QtWidgets) widgets_dir="$d" ;; esac
done

fail=0
breach() { echo "layering: $1" >&2; fail=1; }

# The sources of tirlada_rules, from the target_sources(tirlada_rules ...) blocks.
rule_files=()
for cm in "$src"/*/CMakeLists.txt; do
  dir=$(dirname "$cm")
  while read -r f; do
    rule_files+=("$dir/$f")
  done < <(awk '/target_sources\(tirlada_rules/{on=1; next} on && /\)/{on=0} on{for(i=1;i<=NF;i++) if ($i !~ /^PRIVATE|PUBLIC$/) print $i}' "$cm")
done

for f in "${rule_files[@]}"; do
  rel=${f#"$src"/}
  while IFS= read -r inc; do
    name=${inc#QtWidgets/}
    if [[ "$inc" == QtWidgets/* ]] || { [ -n "$widgets_dir" ] && [ -e "$widgets_dir/$name" ]; }; then
      breach "$rel includes the widget header <$inc>"
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*<\([^>]*\)>.*/\1/p' "$f")
  if grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"(gui|app)/|"ui_[a-z0-9_]+\.h"' "$f" >/dev/null; then
    breach "$rel is a rule file and includes the window layer: $(grep -nE '#[[:space:]]*include[[:space:]]*"(gui|app)/|"ui_' "$f" | head -1)"
  fi
done

while IFS= read -r hit; do
  breach "core/ includes another layer: $hit"
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z]+/' "$src/core" | grep -vE '"core/' || true)

while IFS= read -r hit; do
  breach "a feature includes app/: $hit"
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"app/' "$src" --include='*.h' --include='*.cpp' | grep -v "^$src/app/" || true)

while IFS= read -r hit; do
  breach "only app/ includes the passport model: $hit"
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"model/' "$src" --include='*.h' --include='*.cpp' | grep -v -e "^$src/app/" -e "^$src/model/" || true)

while IFS= read -r hit; do
  breach "only app/ includes the window's form: $hit"
done < <(grep -rnE '"ui_passport_window\.h"' "$src" | grep -v "^$src/app/" || true)

exit $fail
