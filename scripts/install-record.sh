#!/usr/bin/env bash
# `make install` and `make uninstall`.
#
#   install-record.sh install <build folder> <prefix> <destdir> <record>
#   install-record.sh uninstall <record>
#
# An install under a prefix writes, in a record of its own, every file it put
# in place and every folder it had to create. CMake's install_manifest.txt is
# not that record: every staged install and every package rewrites it.
# A staged install (a destdir given) only stages the files: no record, no
# refresh of the databases. Uninstalling removes exactly the recorded files,
# then the recorded folders that are empty, and refreshes the databases
# below each recorded prefix.
#
# The record is plain text, one entry per line, a word and a path separated
# by a tab: "prefix", "file" or "folder".
set -euo pipefail

say() { echo "$*"; }
fail() { echo "$0: $*" >&2; exit 1; }

# The desktop's databases below a prefix: the file types, the menu's file
# types, and the icon cache where there is one. A folder that the install
# created and that now holds only what these tools generated goes.
refresh() {
  local prefix=$1 share=$1/share
  shift
  local -a created=("$@")
  local folder
  is_created() {
    local f
    for f in "${created[@]}"; do [ "$f" = "$1" ] && return 0; done
    return 1
  }

  if [ -d "$share/mime" ]; then
    if [ -z "$(find "$share/mime/packages" -maxdepth 1 -name '*.xml' 2>/dev/null | head -1)" ] &&
       is_created "$share/mime"; then
      # No file type is defined here any more: what is left is the database
      # that update-mime-database generated.
      rm -rf -- "$share/mime"
    elif [ -d "$share/mime/packages" ]; then
      update-mime-database "$share/mime" ||
        echo "warning: update-mime-database $share/mime failed" >&2
    fi
  fi

  folder=$share/applications
  if [ -d "$folder" ]; then
    if is_created "$folder" && [ "$(ls -A "$folder")" = mimeinfo.cache ]; then
      rm -f -- "$folder/mimeinfo.cache"
    else
      update-desktop-database -q "$folder" ||
        echo "warning: update-desktop-database $folder failed" >&2
    fi
  fi

  folder=$share/icons/hicolor
  if [ -f "$folder/icon-theme.cache" ]; then
    gtk-update-icon-cache -q -t -f "$folder" 2>/dev/null ||
      echo "warning: the icon cache in $folder was not refreshed" >&2
  fi
}

# Reads a record into the arrays prefixes, files and folders.
read_record() {
  prefixes=() files=() folders=()
  local word path
  while IFS=$'\t' read -r word path; do
    case $word in
      prefix) prefixes+=("$path") ;;
      file) files+=("$path") ;;
      folder) folders+=("$path") ;;
      '#'* | '') ;;
      *) fail "$1: unknown entry '$word'" ;;
    esac
  done <"$1"
}

# Prints one entry per distinct path: entries <word> <path>...
entries() {
  local word=$1
  shift
  [ $# -gt 0 ] || return 0
  printf '%s\n' "$@" | sort -u | while IFS= read -r path; do printf '%s\t%s\n' "$word" "$path"; done
}

# Writes the arrays prefixes, files and folders as a record, in one step.
write_record() {
  local record=$1 tmp
  mkdir -p -- "$(dirname -- "$record")"
  tmp=$(mktemp "$record.XXXXXX")
  {
    echo "# What \`make install\` put in place; \`make uninstall\` removes it."
    entries prefix "${prefixes[@]}"
    entries file "${files[@]}"
    entries folder "${folders[@]}"
  } >"$tmp"
  chmod 644 "$tmp"
  mv -f -- "$tmp" "$record"
}

install_step() {
  local build=$1 prefix=$2 destdir=$3 record=$4
  [ -n "$prefix" ] || fail "PREFIX is empty"
  case $prefix in
    *$'\t'* | *$'\n'*) fail "PREFIX holds a tab or a line break: $prefix" ;;
  esac
  prefix=$(realpath -m -- "$prefix")

  if [ -n "$destdir" ]; then
    # Staging for a packager: the files only.
    DESTDIR=$destdir cmake --install "$build" --prefix "$prefix"
    return
  fi

  # What the install puts in place, learned from a staged install of the
  # same build; and the folders that do not exist yet.
  stage=$(mktemp -d)
  trap 'rm -rf -- "$stage"' EXIT
  DESTDIR=$stage cmake --install "$build" --prefix "$prefix" >/dev/null
  local -a new_files=() new_folders=()
  local path
  while IFS= read -r -d '' path; do
    path=${path#"$stage"}
    if [ -d "$stage$path" ] && [ ! -L "$stage$path" ]; then
      [ -e "$path" ] || new_folders+=("$path")
    else
      new_files+=("$path")
    fi
  done < <(find "$stage" -mindepth 1 -print0)

  cmake --install "$build" --prefix "$prefix"
  local f
  for f in "${new_files[@]}"; do
    [ -e "$f" ] || fail "the install did not put $f in place"
  done

  # Add to what an earlier install under this build recorded.
  prefixes=() files=() folders=()
  if [ -f "$record" ]; then read_record "$record"; fi
  prefixes+=("$prefix")
  files+=("${new_files[@]}")
  folders+=("${new_folders[@]}")
  write_record "$record"

  refresh "$prefix" "${folders[@]}"
  say "Installed ${#new_files[@]} files under $prefix (recorded in $record)."
  case ":$PATH:" in
    *":$prefix/bin:"*) ;;
    *) say "Note: $prefix/bin is not on PATH; the menu entry starts $prefix/bin/tirlada." ;;
  esac
}

uninstall_step() {
  local record=$1
  if [ ! -f "$record" ]; then
    say "Nothing installed: there is no record $record."
    return 0
  fi
  read_record "$record"

  local f removed=0
  local -a left=()
  for f in "${files[@]}"; do
    if [ -d "$f" ] && [ ! -L "$f" ]; then
      echo "warning: $f is a folder now; it stays" >&2
    elif [ -e "$f" ] || [ -L "$f" ]; then
      if rm -f -- "$f"; then removed=$((removed + 1)); else left+=("$f"); fi
    fi
  done

  local prefix
  for prefix in "${prefixes[@]}"; do
    refresh "$prefix" "${folders[@]}"
  done

  # The folders the install created, deepest first, where they are empty.
  local folder
  while IFS= read -r folder; do
    [ -d "$folder" ] && rmdir -- "$folder" 2>/dev/null || true
  done < <(printf '%s\n' "${folders[@]}" | awk '{ print length($0) "\t" $0 }' | sort -rn | cut -f2-)

  if [ ${#left[@]} -gt 0 ]; then
    files=("${left[@]}")
    write_record "$record"
    fail "${#left[@]} files could not be removed; they stay in $record"
  fi
  rm -f -- "$record"
  say "Removed $removed files from ${prefixes[*]}."
}

case ${1:-} in
  install) [ $# -eq 5 ] || fail "usage: $0 install <build> <prefix> <destdir> <record>"; install_step "$2" "$3" "$4" "$5" ;;
  uninstall) [ $# -eq 2 ] || fail "usage: $0 uninstall <record>"; uninstall_step "$2" ;;
  *) fail "usage: $0 install|uninstall ..." ;;
esac
