#!/usr/bin/env bash
# Checks the includes of src/ against the layers; a breach fails the build.
#   - A file includes files of its own folder and of the folders that
#     scripts/layers.txt lets it include, nothing else of src/.
#   - A rule file (a source of tirlada_rules) includes only rule files, no
#     Qt Widgets header and no generated form.
#   - A generated form ui_NAME.h is included only in the folder of NAME.ui.
# Includes are resolved as the compiler does: "x" beside the including file
# first, then from src/, each to its real path, so that "../../src/model/x.h"
# counts as model/x.h and a file outside src/ counts as a breach; a custom
# widget's <header> in a .ui file counts as
# an include of that form's folder. Which files are rule files and which are
# widget files is read from every target_sources() of the CMake lists.
# Usage: check-layers.sh SOURCE_DIR [QT_WIDGETS_INCLUDE_DIRS (a CMake list)]
set -euo pipefail
root=$1
src="$root/src"
table="$root/scripts/layers.txt"
[ -r "$table" ] || { echo "layering: $table is missing" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The headers of Qt Widgets, by the names a file includes them with.
: >"$work/widgets"
IFS=';' read -r -a dirs <<<"${2:-}"
for d in "${dirs[@]}"; do
  case "$d" in */QtWidgets) ls "$d" >>"$work/widgets" ;; esac
done

# Every file of src/ and the CMake lists, as paths below src/.
(cd "$src" && find . -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.cc' \
  -o -name '*.cxx' -o -name '*.ui' -o -name CMakeLists.txt \) | sed 's|^\./||' | LC_ALL=C sort) >"$work/files"
sources=()
lists=("$root/CMakeLists.txt")
while IFS= read -r f; do
  case "$f" in
    CMakeLists.txt | */CMakeLists.txt) lists+=("$src/$f") ;;
    *) sources+=("$src/$f") ;;
  esac
done <"$work/files"

awk -v root="$root" -v src="$src" -v table="$table" -v widgetlist="$work/widgets" \
  -v filelist="$work/files" -v rules_lib=tirlada_rules -v widgets_lib=tirlada_gui '
function breach(where, what) {
  print "layering: " where ": " what > "/dev/stderr"
  failed = 1
}
function folder(p) { sub(/\/.*/, "", p); return p }
function dirname(p) { if (p !~ /\//) return ""; sub(/\/[^\/]*$/, "", p); return p }
function basename(p) { sub(/.*\//, "", p); return p }
# A path with "." and ".." taken away; "" when it leaves the root it is
# taken from.
function normal(p,    parts, n, i, out, depth, stack) {
  n = split(p, parts, "/")
  depth = 0
  for (i = 1; i <= n; i++) {
    if (parts[i] == "" || parts[i] == ".") continue
    if (parts[i] == "..") { if (depth == 0) return ""; depth--; continue }
    stack[++depth] = parts[i]
  }
  out = ""
  for (i = 1; i <= depth; i++) out = out (i > 1 ? "/" : "") stack[i]
  return out
}
function side(p) { return (p in rule) ? "rule" : (p in widget) ? "widget" : "none" }
# The sources that one target_sources(...) call names, from text without comments.
function sources_of(text, base, where,    t, n, i, target, tok, p) {
  n = split(text, t, /[ \t\n]+/)
  target = ""
  for (i = 1; i <= n; i++) {
    tok = t[i]
    gsub(/"/, "", tok)
    if (tok == "") continue
    if (target == "") { target = tok; continue }
    if (tok ~ /^(PRIVATE|PUBLIC|INTERFACE)$/ || tok ~ /\$/) continue
    p = normal(base == "" ? tok : base "/" tok)
    if (base == "") { if (p !~ /^src\//) continue; p = substr(p, 5) }
    if (target == rules_lib) rule[p] = 1
    else if (target == widgets_lib) widget[p] = 1
    else { breach(where, "target_sources(" target ") names a library the layering does not know: put its sources in " rules_lib " or " widgets_lib); return }
  }
}
FILENAME == table {
  line = $0
  sub(/#.*/, "", line)
  n = split(line, f, /[ \t]+/)
  k = 0
  for (i = 1; i <= n; i++) if (f[i] != "") g[++k] = f[i]
  if (k == 0) next
  if (k != 2) { breach("scripts/layers.txt:" FNR, "an edge is two folder names: FOLDER MAY-INCLUDE"); next }
  edge[g[1], g[2]] = 1
  more = (g[1] in allowed) ? allowed[g[1]] ", " g[2] "/" : " " g[2] "/"
  allowed[g[1]] = more
  next
}
FILENAME == widgetlist { qtwidgets[$0] = 1; next }
FILENAME == filelist {
  present[$0] = 1
  if ($0 ~ /\.ui$/) { form = basename($0); sub(/\.ui$/, "", form); formdir[form] = formdir[form] " " folder($0) }
  next
}
FNR == 1 { file = substr(FILENAME, length(src) + 2); if (FILENAME == root "/CMakeLists.txt") file = "CMakeLists.txt" }
file ~ /(^|\/)CMakeLists\.txt$/ {
  line = $0
  sub(/#.*/, "", line)
  if (!open && match(line, /target_sources[ \t]*\(/)) {
    open = 1; call = ""; callat = file ":" FNR
    line = substr(line, RSTART + RLENGTH)
  }
  if (open) {
    if (match(line, /\)/)) {
      call = call " " substr(line, 1, RSTART - 1); open = 0
      sources_of(call, file == "CMakeLists.txt" ? "" : dirname(file), callat)
    } else call = call " " line
  }
  next
}
/^[ \t]*#[ \t]*include[ \t]*["<]/ {
  line = $0
  sub(/^[ \t]*#[ \t]*include[ \t]*/, "", line)
  quote = substr(line, 1, 1)
  line = substr(line, 2)
  sub(quote == "<" ? ">.*" : "\".*", "", line)
  inc_from[++incs] = file; inc_at[incs] = FNR; inc_name[incs] = line; inc_kind[incs] = quote
  next
}
file ~ /\.ui$/ && /<header>[^<]*<\/header>/ {
  line = $0
  sub(/.*<header>/, "", line); sub(/<\/header>.*/, "", line)
  inc_from[++incs] = file; inc_at[incs] = FNR; inc_name[incs] = line; inc_kind[incs] = "ui"
}
END {
  if (open) breach(callat, "target_sources( is not closed")
  for (i = 1; i <= incs; i++) {
    from = inc_from[i]; name = inc_name[i]; where = "src/" from ":" inc_at[i]
    ff = folder(from)
    # Where the compiler finds it: beside the including file, then in src/;
    # each candidate as a real path below the source root.
    target = ""; outside = ""
    for (c = (inc_kind[i] == "\"" ? 1 : 2); c <= 2 && target == "" && outside == ""; c++) {
      p = normal("src/" (c == 1 ? dirname(from) "/" : "") name)
      if (p ~ /^src\// && (substr(p, 5) in present)) target = substr(p, 5)
      else if (p != "" && p !~ /^src\// && system("test -f \"" root "/" p "\"") == 0) outside = p
    }
    if (outside != "") { breach(where, "includes " outside ", which is outside src/"); continue }
    base = basename(name)
    if (target == "" && base ~ /^ui_.*\.h$/) {
      form = substr(base, 4); sub(/\.h$/, "", form)
      if (side(from) == "rule") breach(where, "a rule file includes the generated form " name)
      else if (!(form in formdir)) breach(where, name " is the form of no .ui file in src/")
      else if (index(formdir[form] " ", " " ff " ") == 0) breach(where, name " is the form of another folder: only" formdir[form] "/ includes it")
      continue
    }
    if (target == "") {
      if (side(from) == "rule" && (name ~ /^QtWidgets(\/|$)/ || (name in qtwidgets)))
        breach(where, "a rule file includes the Qt Widgets header <" name ">")
      continue
    }
    tf = folder(target)
    if (tf != ff && !((ff, tf) in edge))
      breach(where, "includes " target ", but " ff "/ may include only" (ff in allowed ? allowed[ff] : " itself") " (scripts/layers.txt)")
    else if (side(from) == "rule" && side(target) != "rule")
      breach(where, "a rule file includes " target ", which is not a source of " rules_lib)
  }
  exit failed
}
' "$table" "$work/widgets" "$work/files" "${lists[@]}" "${sources[@]}"
