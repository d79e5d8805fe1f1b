#!/usr/bin/env bash
# The installed program as the desktop and the package manager see it.
#
#   install_test.sh <step> <build folder> <work folder>
#
# Steps: stage (install into a temporary DESTDIR), desktop-entry, metainfo,
# file-type, unstage; package (build the .deb), package-contents, lintian,
# unpackage; command-line (help and version with no display).
set -euo pipefail
# Cyrillic letters in the patterns below.
export LC_ALL=C.UTF-8

step=$1
build=$2
work=$3
stage=$work/stage
share=$stage/usr/share
debs=$work/debs
app=ru.kovirta.tirlada
type=application/x-kovirta-passport

fail() { echo "FAIL: $*" >&2; exit 1; }

# What an install puts in place, relative to the prefix.
installed_files=(
  bin/tirlada
  bin/tirlada-check
  share/applications/$app.desktop
  share/mime/packages/$app.xml
  share/metainfo/$app.metainfo.xml
  share/icons/hicolor/scalable/apps/$app.svg
  share/man/man1/tirlada.1.gz
  share/man/man1/tirlada-check.1.gz
  share/doc/tirlada/copyright
  share/doc/tirlada/changelog.gz
)
icon_sizes=(16 22 24 32 48 64 128 256)
for size in "${icon_sizes[@]}"; do
  installed_files+=(share/icons/hicolor/${size}x${size}/apps/$app.png)
done

case $step in
stage)
  rm -rf "$stage"
  mkdir -p "$stage"
  DESTDIR=$stage cmake --install "$build" --prefix /usr
  for f in "${installed_files[@]}"; do
    [ -f "$stage/usr/$f" ] || fail "not installed: /usr/$f"
  done
  [ -x "$stage/usr/bin/tirlada" ] || fail "/usr/bin/tirlada is not executable"
  for size in "${icon_sizes[@]}"; do
    got=$(file -b "$share/icons/hicolor/${size}x${size}/apps/$app.png")
    case $got in
      "PNG image data, $size x $size,"*) ;;
      *) fail "the ${size}x${size} icon is: $got" ;;
    esac
  done
  ;;

desktop-entry)
  entry=$share/applications/$app.desktop
  out=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $out"
  echo "$out"
  # Hints are fine (two main categories are wanted); errors and warnings are not.
  if grep -E ': (error|warning):' <<<"$out"; then fail "the desktop entry has errors or warnings"; fi
  for line in 'Name=Тирлада' 'Exec=tirlada %f' 'Categories=Office;Education;' \
              "MimeType=$type;" "Icon=$app"; do
    grep -qxF "$line" "$entry" || fail "the desktop entry lacks: $line"
  done
  grep -qP '^Comment=.*\p{Cyrillic}' "$entry" || fail "the desktop entry lacks a Russian comment"
  ;;

metainfo)
  appstreamcli validate --no-net "$share/metainfo/$app.metainfo.xml"
  # Every screenshot of the README is offered.
  for shot in $(grep -o 'docs/screenshots/[a-z0-9-]*\.png' "$(dirname "$0")/../../README.md"); do
    grep -q "/$(basename "$shot")</image>" "$share/metainfo/$app.metainfo.xml" \
      || fail "the metainfo lacks the screenshot $shot"
  done
  ;;

file-type)
  # A desktop with nothing but the staged install and the system's base types;
  # the user's own settings in empty temporary folders.
  env_dir=$work/file-type
  rm -rf "$env_dir"
  mkdir -p "$env_dir"/{home,config,data,packed}
  XDG_DATA_DIRS=$share update-mime-database "$share/mime"
  # What Debian's trigger for the menu does on installing the package.
  update-desktop-database "$share/applications"
  grep -qxF "$type:*.kwp" <(grep -v '^#' "$share/mime/globs2" | cut -d: -f2-) \
    || fail "no *.kwp pattern in the staged globs"
  grep -qxF "$type application/zip" "$share/mime/subclasses" \
    || fail "the type is not a subclass of application/zip"
  grep -qP '<comment xml:lang="ru">.*\p{Cyrillic}' "$share/mime/application/x-kovirta-passport.xml" \
    || fail "the type has no Russian comment"

  printf '<?xml version="1.0" encoding="UTF-8"?>\n<work/>\n' > "$env_dir/packed/data.xml"
  (cd "$env_dir/packed" && 7za a -tzip -bso0 -bsp0 ../sample.kwp data.xml)
  cp "$env_dir/sample.kwp" "$env_dir/sample.zip"

  query() {
    local desktop=$1 data_dirs=$2
    shift 2
    (cd "$env_dir" && env -i PATH=/usr/bin:/bin HOME="$env_dir/home" \
       XDG_CONFIG_HOME="$env_dir/config" XDG_CONFIG_DIRS="$env_dir/config" \
       XDG_DATA_HOME="$env_dir/data" XDG_DATA_DIRS="$data_dirs" \
       XDG_CURRENT_DESKTOP="$desktop" GIO_USE_VFS=local xdg-mime query "$@")
  }
  expect() {
    local what=$1 want=$2 got=$3
    [ "$got" = "$want" ] || fail "$what: expected '$want', got '$got'"
    echo "ok: $what = $got"
  }
  # No desktop (xdg-mime's own lookup through File::MimeInfo) and GNOME's
  # lookup through GIO.
  for desktop in "" GNOME; do
    label=${desktop:-no desktop}
    # Where the program is installed on this machine, the system knows the
    # type already.
    if [ ! -e /usr/share/mime/packages/$app.xml ] && [ ! -e /usr/local/share/mime/packages/$app.xml ]; then
      expect "$label: type of sample.kwp before the install" application/zip \
        "$(query "$desktop" /usr/share filetype sample.kwp)"
    fi
    expect "$label: type of sample.kwp" $type \
      "$(query "$desktop" "$share:/usr/share" filetype sample.kwp)"
    expect "$label: type of the same archive as sample.zip" application/zip \
      "$(query "$desktop" "$share:/usr/share" filetype sample.zip)"
    expect "$label: default program for $type" $app.desktop \
      "$(query "$desktop" "$share:/usr/share" default $type)"
  done
  ;;

unstage)
  rm -rf "$stage" "$work/file-type"
  ;;

package)
  rm -rf "$debs"
  mkdir -p "$debs"
  cpack -G DEB -B "$debs" --config "$build/CPackConfig.cmake"
  ls "$debs"/tirlada_*.deb
  ;;

package-contents)
  deb=$(ls "$debs"/tirlada_*.deb)
  listing=$(dpkg-deb -c "$deb")
  echo "$listing"
  for f in "${installed_files[@]}"; do
    grep -qE " \./usr/$f\$" <<<"$listing" || fail "the package lacks /usr/$f"
  done
  grep -q ' \./usr/local' <<<"$listing" && fail "the package installs below /usr/local"
  depends=$(dpkg-deb -f "$deb" Depends)
  echo "Depends: $depends"
  for dep in p7zip-full libqt6widgets6 libqt6gui6 libqt6core6 libjpeg62-turbo libzip4 zlib1g libc6; do
    grep -qE "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep"
  done
  # Debian's file triggers refresh the menu, icon and file-type databases:
  # the package brings no maintainer scripts.
  control=$work/control
  rm -rf "$control"
  dpkg-deb -e "$deb" "$control"
  for script in preinst postinst prerm postrm triggers; do
    [ ! -e "$control/$script" ] || fail "the package has a $script"
  done
  rm -rf "$control"
  # The program in the package is stripped.
  unpacked=$work/unpacked
  rm -rf "$unpacked"
  dpkg-deb -x "$deb" "$unpacked"
  file -b "$unpacked/usr/bin/tirlada" | grep -q ', stripped' || fail "the program is not stripped"
  rm -rf "$unpacked"
  ;;

lintian)
  deb=$(ls "$debs"/tirlada_*.deb)
  out=$(lintian --allow-root --fail-on error "$deb" 2>&1) || { echo "$out"; fail "lintian reports errors"; }
  echo "$out"
  ;;

unpackage)
  rm -rf "$debs"
  ;;

command-line)
  program=$build/tirlada
  version=$4
  # A console with no display: neither X, Wayland nor a chosen Qt platform.
  run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM LANG=C.UTF-8 "$program" "$@"; }
  for option in --help -h; do
    out=$(run $option) || fail "tirlada $option failed"
    echo "$out"
    grep -q '^Использование: .*tirlada \[параметры\] \[паспорт\.kwp\]$' <<<"$out" || fail "$option: no usage line"
    grep -qE '^ +-h, --help +Показать' <<<"$out" || fail "$option: --help not described"
    grep -qE '^ +-v, --version +Показать' <<<"$out" || fail "$option: --version not described"
    grep -qE '^ +паспорт +Паспорт работы' <<<"$out" || fail "$option: the package argument not described"
  done
  for option in --version -v; do
    out=$(run $option) || fail "tirlada $option failed"
    [ "$out" = "Тирлада $version" ] || fail "$option: got '$out'"
  done
  ;;

*)
  fail "unknown step $step"
  ;;
esac
