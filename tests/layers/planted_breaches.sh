#!/usr/bin/env bash
# Proves the layering check: on a copy of the tree it passes as it is, and
# fails for each breach planted into the copy, one at a time. A few allowed
# includes are planted too, so that a check refusing everything fails here.
# Usage: planted_breaches.sh SOURCE_DIR QT_WIDGETS_INCLUDE_DIRS...
set -euo pipefail
root=$1
shift
widgets=$(
  IFS=';'
  echo "$*"
)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pristine="$work/pristine"
mkdir -p "$pristine/scripts"
cp "$root/CMakeLists.txt" "$pristine/"
cp "$root/scripts/check-layers.sh" "$root/scripts/layers.txt" "$pristine/scripts/"
cp -r "$root/src" "$pristine/"

status=0
failures=0
tree="$work/tree"

fresh() {
  rm -rf "$tree"
  cp -r "$pristine" "$tree"
}

# The first of the given files (below src/) that exists in the copy.
pick() {
  local f
  for f in "$@"; do
    if [ -f "$pristine/src/$f" ]; then
      echo "$f"
      return
    fi
  done
  echo "no file to plant into among: $*; update tests/layers/planted_breaches.sh" >&2
  exit 1
}

# The first source of a folder.
first_cpp() {
  local f
  for f in "$pristine/src/$1"/*.cpp; do
    if [ -f "$f" ]; then
      echo "${f#"$pristine/src/"}"
      return
    fi
  done
  echo "no source in src/$1/" >&2
  exit 1
}

# A dialog: a source of the folder that includes its own generated form.
dialog_of() {
  local f
  f=$(cd "$pristine/src" && grep -l '#include "ui_' "$1"/*.cpp | head -1)
  [ -n "$f" ] || { echo "no dialog in src/$1/" >&2 && exit 1; }
  echo "$f"
}

run_check() {
  bash "$tree/scripts/check-layers.sh" "$tree" "$widgets" 2>"$work/out"
}

# plant FILE LINE: puts LINE on top of src/FILE.
plant() {
  sed -i "1i $2" "$tree/src/$1"
}

# breach WHAT FILE LINE: the check must fail and name FILE.
breach() {
  local what=$1 file=$2 line=$3
  fresh
  plant "$file" "$line"
  expect_fail "$what" "$file"
}

expect_fail() {
  local what=$1 file=$2 rc=0
  run_check || rc=$?
  if [ "$rc" -eq 1 ] && grep -q "^layering: src/$file:" "$work/out"; then
    echo "caught: $what"
  else
    echo "NOT CAUGHT: $what (src/$file, exit $rc)" >&2
    sed 's/^/  /' "$work/out" >&2
    failures=$((failures + 1))
    status=1
  fi
}

# allowed WHAT FILE LINE: the check must pass.
allowed() {
  local what=$1 file=$2 line=$3 rc=0
  fresh
  plant "$file" "$line"
  run_check || rc=$?
  if [ "$rc" -eq 0 ]; then
    echo "allowed: $what"
  else
    echo "REFUSED: $what (src/$file, exit $rc)" >&2
    sed 's/^/  /' "$work/out" >&2
    status=1
  fi
}

fresh
if run_check; then
  echo "the tree as it is passes"
else
  echo "the tree as it is fails the check:" >&2
  cat "$work/out" >&2
  status=1
fi

dialog=$(dialog_of participants)
dialog_header=${dialog%.cpp}.h
ids=$(pick participants/participant_id.cpp)
lists_header=$(pick participants/id_edit.h)
sections_dialog=$(dialog_of sections)
sections_rules=$(pick sections/section_rules.cpp)
sections_rules_header=$(pick sections/section_rules.h)
core_header=$(pick core/passport.h core/files.h)
core_file=$(first_cpp core)
picture_file=$(first_cpp picture)
gui_file=$(first_cpp gui)
save_file=$(first_cpp save)
check_file=$(pick check/main.cpp)
# The window: its form and the header beside it.
window_form=$(cd "$pristine/src" && find app -maxdepth 1 -name '*.ui' | LC_ALL=C sort | head -1)
[ -n "$window_form" ] || { echo "no form in src/app/" >&2 && exit 1; }
window=${window_form%.ui}.h
window_ui=ui_$(basename "${window_form%.ui}").h

breach "a dialog includes app/ by a relative path" "$dialog" "#include \"../$window\""
breach "core/ includes save/ by a relative path" "$core_file" '#include "../save/package.h"'
breach "a rule file includes a feature's dialog" "$save_file" "#include \"$dialog_header\""
breach "a rule file of the same folder includes its dialog" "$ids" "#include \"${dialog_header#participants/}\""
breach "a rule file includes a widget file of participants/" "$save_file" "#include \"$lists_header\""
breach "one feature includes another it may not" "$picture_file" "#include \"$sections_rules_header\""
breach "save/ includes the passport model, which stands above it" "$save_file" "#include \"$(pick model/passport_model.h)\""
breach "save/ climbs out of src/ and back into the model" "$save_file" "#include \"../../src/$(pick model/passport_model.h)\""
breach "a file of src/ includes a file outside src/" "$save_file" '#include "../../CMakeLists.txt"'
breach "gui/ includes a feature" "$gui_file" '#include "participants/participant_id.h"'
breach "a rule file includes <QWidget>" "$sections_rules" '#include <QWidget>'
breach "a rule file includes <QtWidgets/...>" "$save_file" '#include <QtWidgets/QLineEdit>'
breach "a rule file includes gui/ (its folder may, its dialogs only)" "$ids" '#include "gui/modal.h"'
breach "a rule file includes app/" "$save_file" "#include \"$window\""
breach "a rule file includes its folder's generated form" "$ids" "#include \"ui_$(basename "${dialog%.cpp}").h\""
breach "a feature includes app/" "$sections_dialog" "#include \"$window\""
breach "a feature includes the window's form" "$sections_dialog" "#include \"$window_ui\""
breach "a feature includes app/ in angle brackets" "$sections_dialog" "#include <$window>"
breach "a program's main outside both libraries includes app/" "$check_file" "#include \"$window\""

# A rule file named on the target_sources( line itself.
fresh
preview_file=$(first_cpp preview)
preview_sources=$(cd "$tree/src/preview" && echo *.cpp *.h)
printf 'target_sources(tirlada_rules PRIVATE %s)\n' "$preview_sources" >"$tree/src/preview/CMakeLists.txt"
plant "$preview_file" '#include <QLabel>'
expect_fail "a rule file named on the target_sources( line includes <QLabel>" "$preview_file"

# A custom widget's header in a form counts as an include of its folder.
fresh
form=${dialog%.cpp}.ui
sed -i "s|</ui>|<customwidgets><customwidget><class>Box</class><extends>QWidget</extends><header>$window</header></customwidget></customwidgets></ui>|" "$tree/src/$form"
expect_fail "a dialog's form names a custom widget of app/" "$form"

allowed "a rule file includes core/ by a relative path" "$picture_file" "#include \"../$core_header\""
allowed "a rule file includes an allowed feature's rules by a relative path" "$save_file" "#include \"../$sections_rules_header\""
allowed "a dialog includes gui/" "$sections_dialog" '#include "gui/modal.h"'
allowed "a rule file includes a Qt Gui header" "$sections_rules" '#include <QImage>'

if [ "$failures" -gt 0 ]; then
  echo "$failures planted breaches got through" >&2
fi
exit $status
