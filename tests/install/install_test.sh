#!/usr/bin/env bash
# The installed program as the desktop and the package manager see it.
#
#   install_test.sh <step> <build folder> <work folder> [argument]
#
# Steps: stage (install into a temporary DESTDIR), desktop-entry, metainfo,
# file-type, manuals, unstage; package (build the .deb), package-contents,
# lintian, unpackage, package-reproducible; install-record and
# user-prefix (make install and make uninstall, below temporary folders);
# command-line (help, version and mistakes with no display); window (the
# running window as a desktop sees it); screenshots (two runs draw the same
# pictures); format (make format-check).
set -euo pipefail
# Cyrillic letters in the patterns below.
export LC_ALL=C.UTF-8

step=$1
build=$2
work=$3
version=${4:-}
stage=$work/stage
share=$stage/usr/share
debs=$work/debs
app=ru.kovirta.tirlada
type=application/x-kovirta-passport

source=$(cd "$(dirname "$0")/../.." && pwd)

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
  share/man/ru/man1/tirlada.1.gz
  share/man/ru/man1/tirlada-check.1.gz
  share/doc/tirlada/copyright
  share/doc/tirlada/changelog.gz
)
icon_sizes=(16 22 24 32 48 64 128 256)
for size in "${icon_sizes[@]}"; do
  installed_files+=(share/icons/hicolor/${size}x${size}/apps/$app.png)
done

# xdg-mime as a desktop with nothing but the given data folders sees it; the
# user's own settings in empty folders below env_dir.
#   query <env_dir> <desktop> <XDG_DATA_HOME> <XDG_DATA_DIRS> <xdg-mime arguments>...
query() {
  local env_dir=$1 desktop=$2 data_home=$3 data_dirs=$4
  shift 4
  mkdir -p "$env_dir"/{home,config}
  (cd "$env_dir" && env -i PATH=/usr/bin:/bin HOME="$env_dir/home" \
     XDG_CONFIG_HOME="$env_dir/config" XDG_CONFIG_DIRS="$env_dir/config" \
     XDG_DATA_HOME="$data_home" XDG_DATA_DIRS="$data_dirs" \
     XDG_CURRENT_DESKTOP="$desktop" GIO_USE_VFS=local xdg-mime query "$@")
}
expect() {
  local what=$1 want=$2 got=$3
  [ "$got" = "$want" ] || fail "$what: expected '$want', got '$got'"
  echo "ok: $what = $got"
}
# The Makefile's targets, as a user runs them (not as a part of this run's
# own make, whose settings would leak in).
mk() { env -u MAKEFLAGS -u MAKELEVEL -u MFLAGS make -s --no-print-directory -C "$source" "$@"; }
# A passport package: a ZIP archive holding data.xml.
make_sample() {
  local folder=$1
  mkdir -p "$folder/packed"
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<work/>\n' > "$folder/packed/data.xml"
  (cd "$folder/packed" && 7za a -tzip -bso0 -bsp0 ../sample.kwp data.xml)
}

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
  # English names with Russian translations; the window is tied to the
  # entry by its class; the program is started by name under /usr.
  for line in 'Name=Tirlada' 'Name[ru]=Тирлада' 'Exec=tirlada %f' 'Categories=Qt;Office;Education;' \
              "MimeType=$type;" "Icon=$app" "StartupWMClass=$app" 'StartupNotify=true'; do
    grep -qxF "$line" "$entry" || fail "the desktop entry lacks: $line"
  done
  for key in Comment GenericName Keywords; do
    grep -qP "^$key=[\x20-\x7e]+\$" "$entry" || fail "the desktop entry lacks an English $key"
    grep -qP "^$key\[ru\]=.*\p{Cyrillic}" "$entry" || fail "the desktop entry lacks a Russian $key"
  done
  ;;

metainfo)
  entry=$share/metainfo/$app.metainfo.xml
  appstreamcli validate --no-net --pedantic "$entry"
  for want in '<developer_name>' '<binary>tirlada</binary>' '<binary>tirlada-check</binary>' \
              '<control>keyboard</control>' '<control>pointing</control>' \
              '<summary xml:lang="ru">' '<p xml:lang="ru">' '<name xml:lang="ru">Тирлада</name>'; do
    grep -qF "$want" "$entry" || fail "the metainfo lacks $want"
  done
  xmllint --xpath '//release/description/p' "$entry" >/dev/null || fail "the release has no description"
  # No address is configured in this build: none is made up.
  for unwanted in '<screenshots>' '<url' 'example.org' '@'; do
    if grep -qF "$unwanted" "$entry"; then fail "the metainfo holds $unwanted without an address configured"; fi
  done

  # With the addresses set, each is written, and every screenshot of the
  # README is offered.
  settings=$work/metainfo-settings.cmake
  sed -e 's|^set(SCREENSHOTS_URL .*|set(SCREENSHOTS_URL [==[https://kovirta.example/tirlada/shots/]==])|' \
      -e 's|^set(HOMEPAGE_URL .*|set(HOMEPAGE_URL [==[https://kovirta.example/tirlada?a=1\&b=2]==])|' \
      "$build/dist/metainfo-settings.cmake" > "$settings"
  cmake -DINPUT="$source/dist/$app.metainfo.xml.in" -DOUTPUT="$work/with-urls.xml" -DSETTINGS="$settings" \
    -P "$source/dist/metainfo.cmake"
  appstreamcli validate --no-net --pedantic "$work/with-urls.xml"
  grep -qF '<url type="homepage">https://kovirta.example/tirlada?a=1&amp;b=2</url>' "$work/with-urls.xml" \
    || fail "the homepage is not written"
  if grep -qF '<url type="bugtracker">' "$work/with-urls.xml"; then fail "an empty address is written"; fi
  for shot in $(grep -o 'docs/screenshots/[a-z0-9-]*\.png' "$source/README.md"); do
    grep -qF "<image>https://kovirta.example/tirlada/shots/$(basename "$shot")</image>" "$work/with-urls.xml" \
      || fail "the metainfo lacks the screenshot $shot"
  done
  rm -f "$settings" "$work/with-urls.xml"
  ;;

manuals)
  # English pages in man1 read in the C locale without a warning and with no
  # letter lost; the Russian ones in ru/man1. One header style for all.
  man=$share/man
  for page in tirlada tirlada-check; do
    english=$man/man1/$page.1.gz
    russian=$man/ru/man1/$page.1.gz
    errors=$(env -i PATH=/usr/bin:/bin MANWIDTH=80 man --warnings -l "$english" 2>&1 >"$work/$page.txt")
    [ -z "$errors" ] || fail "man $page in the C locale warns: $errors"
    if LC_ALL=C grep -n '[^ -~]' "$work/$page.txt"; then fail "man $page in the C locale prints other than ASCII"; fi
    errors=$(env -i PATH=/usr/bin:/bin LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$english" 2>&1 >/dev/null)
    [ -z "$errors" ] || fail "man $page in UTF-8 warns: $errors"
    errors=$(env -i PATH=/usr/bin:/bin LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$russian" 2>&1 >"$work/$page.ru.txt")
    [ -z "$errors" ] || fail "the Russian man $page warns: $errors"
    grep -q 'ОПИСАНИЕ' "$work/$page.ru.txt" || fail "the Russian man $page is not in Russian"
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS 'EXIT STATUS' ENVIRONMENT 'SEE ALSO'; do
      grep -qx "$section" "$work/$page.txt" || fail "man $page lacks the section $section"
    done
    for section in ИМЯ СИНТАКСИС ОПИСАНИЕ ПАРАМЕТРЫ 'КОД ЗАВЕРШЕНИЯ' ОКРУЖЕНИЕ 'СМ. ТАКЖЕ'; do
      grep -qx "$section" "$work/$page.ru.txt" || fail "the Russian man $page lacks the section $section"
    done
    rm -f "$work/$page.txt" "$work/$page.ru.txt"
  done
  # Each page points to the other.
  zcat "$man/man1/tirlada.1.gz" | grep -q '^\.BR tirlada\\-check (1)' || fail "tirlada(1) does not name tirlada-check(1)"
  zcat "$man/man1/tirlada-check.1.gz" | grep -q '^\.BR tirlada (1)' || fail "tirlada-check(1) does not name tirlada(1)"
  # The environment the program reads.
  environment=$(env -i PATH=/usr/bin:/bin MANWIDTH=80 man -l "$man/man1/tirlada.1.gz" | sed -n '/^ENVIRONMENT/,/^[A-Z]/p')
  for variable in XDG_DATA_HOME TMPDIR PATH QT_LOGGING_RULES; do
    grep -qE "^       $variable( |\$)" <<<"$environment" || fail "tirlada(1) lacks $variable in ENVIRONMENT"
  done
  # Every page carries the same date, version and manual name in its language.
  headers=$(for f in "$man"/man1/*.gz "$man"/ru/man1/*.gz; do zcat "$f" | grep '^\.TH'; done)
  echo "$headers"
  dates=$(awk '{ print $4 }' <<<"$headers" | sort -u)
  [ "$(wc -l <<<"$dates")" = 1 ] || fail "the pages carry different dates: $dates"
  grep -q "^\.TH TIRLADA 1 $dates \"Tirlada $version\" \"User Commands\"\$" <<<"$headers" || fail "tirlada(1)'s header"
  grep -q "^\.TH TIRLADA-CHECK 1 $dates \"Tirlada $version\" \"User Commands\"\$" <<<"$headers" || fail "tirlada-check(1)'s header"
  [ "$(grep -c "\"Тирлада $version\" \"Команды пользователя\"\$" <<<"$headers")" = 2 ] || fail "the Russian headers"
  ;;

file-type)
  # A desktop with nothing but the staged install and the system's base types;
  # the user's own settings in empty temporary folders.
  env_dir=$work/file-type
  rm -rf "$env_dir"
  mkdir -p "$env_dir"/data
  XDG_DATA_DIRS=$share update-mime-database "$share/mime"
  # What Debian's trigger for the menu does on installing the package.
  update-desktop-database "$share/applications"
  grep -qxF "$type:*.kwp" <(grep -v '^#' "$share/mime/globs2" | cut -d: -f2-) \
    || fail "no *.kwp pattern in the staged globs"
  grep -qxF "$type application/zip" "$share/mime/subclasses" \
    || fail "the type is not a subclass of application/zip"
  grep -qP '<comment xml:lang="ru">.*\p{Cyrillic}' "$share/mime/application/x-kovirta-passport.xml" \
    || fail "the type has no Russian comment"

  make_sample "$env_dir"
  cp "$env_dir/sample.kwp" "$env_dir/sample.zip"

  # No desktop (xdg-mime's own lookup through File::MimeInfo) and GNOME's
  # lookup through GIO.
  for desktop in "" GNOME; do
    label=${desktop:-no desktop}
    # Where the program is installed on this machine, the system knows the
    # type already.
    if [ ! -e /usr/share/mime/packages/$app.xml ] && [ ! -e /usr/local/share/mime/packages/$app.xml ]; then
      expect "$label: type of sample.kwp before the install" application/zip \
        "$(query "$env_dir" "$desktop" "$env_dir/data" /usr/share filetype sample.kwp)"
    fi
    expect "$label: type of sample.kwp" $type \
      "$(query "$env_dir" "$desktop" "$env_dir/data" "$share:/usr/share" filetype sample.kwp)"
    expect "$label: type of the same archive as sample.zip" application/zip \
      "$(query "$env_dir" "$desktop" "$env_dir/data" "$share:/usr/share" filetype sample.zip)"
    expect "$label: default program for $type" $app.desktop \
      "$(query "$env_dir" "$desktop" "$env_dir/data" "$share:/usr/share" default $type)"
  done
  ;;

unstage)
  rm -rf "$stage" "$work/file-type"
  ;;

package)
  rm -rf "$debs"
  mkdir -p "$debs"
  record=$build/install-record.txt
  before=$(cat "$record" 2>/dev/null || echo none)
  cpack -G DEB -B "$debs" --config "$build/CPackConfig.cmake"
  ls "$debs"/tirlada_*.deb
  [ "$(cat "$record" 2>/dev/null || echo none)" = "$before" ] || fail "building the package changed $record"
  ;;

package-contents)
  deb=$(ls "$debs"/tirlada_*.deb)
  listing=$(dpkg-deb -c "$deb")
  echo "$listing"
  for f in "${installed_files[@]}"; do
    grep -qE " \./usr/$f\$" <<<"$listing" || fail "the package lacks /usr/$f"
  done
  grep -q ' \./usr/local' <<<"$listing" && fail "the package installs below /usr/local"
  [ "$(dpkg-deb -f "$deb" Section)" = education ] || fail "the package's section is not education"
  recommends=$(dpkg-deb -f "$deb" Recommends)
  for dep in hunspell-ru hunspell-en-us qt6-translations-l10n; do
    grep -qE "(^|, )$dep( |,|$)" <<<"$recommends" || fail "Recommends lacks $dep"
  done
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
  # The copyright is machine-readable (DEP-5).
  copyright=$unpacked/usr/share/doc/tirlada/copyright
  head -1 "$copyright" | grep -qxF 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    || fail "the copyright file is not in the machine-readable format"
  for field in Upstream-Name Files Copyright License; do
    grep -q "^$field: " "$copyright" || fail "the copyright file lacks $field"
  done
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

package-reproducible)
  # Two packings of one commit give the same bytes: no time in the package
  # depends on when it was packed.
  area=$work/reproducible
  rm -rf "$area"
  for run in one two; do
    mkdir -p "$area/$run"
    cpack -G DEB -B "$area/$run" --config "$build/CPackConfig.cmake" >/dev/null
    sleep 1
  done
  one=$(ls "$area"/one/tirlada_*.deb)
  two=$(ls "$area"/two/tirlada_*.deb)
  if ! cmp "$one" "$two"; then
    diff <(dpkg-deb -c "$one") <(dpkg-deb -c "$two") || true
    fail "two packings of one commit differ"
  fi
  # File times are clamped to the commit's time.
  epoch=$(git -C "$source" log -1 --format=%ct 2>/dev/null) || epoch=""
  if [ -n "$epoch" ]; then
    newest=$(dpkg-deb --fsys-tarfile "$one" | tar -tv --full-time | awk '{ print $4 " " $5 }' | sort | tail -1)
    [ "$(date -u -d "$newest UTC" +%s)" -le "$epoch" ] || fail "a file in the package is newer than the commit: $newest"
  fi
  rm -rf "$area"
  ;;

install-record)
  # `make install` below a temporary prefix, then `make uninstall`. The
  # prefix holds a folder and a file of its own beforehand.
  area=$work/install-record
  rm -rf "$area"
  prefix=$area/prefix
  record=$area/install-record.txt
  fake_build=$area/build
  mkdir -p "$prefix/bin" "$prefix/share/applications" "$fake_build"
  echo '[Desktop Entry]' > "$prefix/share/applications/other.desktop"

  # With no record, nothing is removed: not even what CMake's own manifest
  # lists, which every staged install and every package rewrites.
  echo keep > "$area/not-installed"
  echo "$area/not-installed" > "$fake_build/install_manifest.txt"
  out=$(mk uninstall BUILD="$fake_build" 2>&1) || fail "make uninstall with no record failed: $out"
  echo "$out"
  grep -q '^Nothing installed' <<<"$out" || fail "make uninstall with no record says: $out"
  [ -f "$area/not-installed" ] || fail "make uninstall removed a file that it did not install"

  bash "$source/scripts/install-record.sh" install "$build" "$prefix" "" "$record"
  for f in "${installed_files[@]}"; do
    [ -f "$prefix/$f" ] || fail "make install did not install $f"
    grep -qxF "file	$prefix/$f" "$record" || fail "the record lacks $prefix/$f"
  done
  grep -qxF "prefix	$prefix" "$record" || fail "the record lacks its prefix"
  grep -qxF "folder	$prefix/share/mime" "$record" || fail "the record lacks a folder the install created"
  if grep -qxF "folder	$prefix/bin" "$record"; then fail "the record claims a folder that was there before"; fi

  # A staged install leaves the record alone.
  cp "$record" "$area/record-before"
  bash "$source/scripts/install-record.sh" install "$build" /usr "$area/stage" "$record" >/dev/null
  [ -x "$area/stage/usr/bin/tirlada" ] || fail "the staged install staged nothing"
  cmp -s "$record" "$area/record-before" || fail "a staged install changed the record"

  out=$(mk uninstall BUILD="$fake_build" INSTALL_RECORD="$record" 2>&1) \
    || fail "make uninstall failed: $out"
  echo "$out"
  for f in "${installed_files[@]}"; do
    [ ! -e "$prefix/$f" ] || fail "make uninstall left $f"
  done
  # What was there before stays; the folders the install created go, and so
  # does the file-type database it generated.
  left=$(cd "$prefix" && find . | sort | tr '\n' ' ')
  expected='. ./bin ./share ./share/applications ./share/applications/mimeinfo.cache ./share/applications/other.desktop '
  [ "$left" = "$expected" ] || fail "after make uninstall the prefix holds: $left"
  [ ! -e "$record" ] || fail "the record is still there"
  out=$(mk uninstall BUILD="$fake_build" INSTALL_RECORD="$record" 2>&1)
  grep -q '^Nothing installed' <<<"$out" || fail "a second make uninstall says: $out"
  rm -rf "$area"
  ;;

user-prefix)
  # `make install PREFIX=$HOME/.local` as the README shows it, in a
  # temporary home: the menu entry starts the program by its full path, the
  # file type is registered, and `make uninstall`, given no prefix, takes
  # it all back.
  area=$work/user-prefix
  rm -rf "$area"
  prefix=$area/home/.local
  record=$area/install-record.txt
  mkdir -p "$area/home"
  bash "$source/scripts/install-record.sh" install "$build" "$prefix" "" "$record"
  entry=$prefix/share/applications/$app.desktop
  grep -qxF "Exec=$prefix/bin/tirlada %f" "$entry" || fail "the menu entry does not name $prefix/bin/tirlada"
  desktop-file-validate "$entry" | { grep -E ': (error|warning):' && fail "the installed menu entry is not valid"; true; }

  make_sample "$area"
  for desktop in "" GNOME; do
    label=${desktop:-no desktop}
    expect "$label: type of sample.kwp after make install" $type \
      "$(query "$area" "$desktop" "$prefix/share" /usr/share filetype sample.kwp)"
    expect "$label: default program after make install" $app.desktop \
      "$(query "$area" "$desktop" "$prefix/share" /usr/share default $type)"
  done
  mk uninstall INSTALL_RECORD="$record"
  for desktop in "" GNOME; do
    label=${desktop:-no desktop}
    expect "$label: type of sample.kwp after make uninstall" application/zip \
      "$(query "$area" "$desktop" "$prefix/share" /usr/share filetype sample.kwp)"
    expect "$label: default program after make uninstall" "" \
      "$(query "$area" "$desktop" "$prefix/share" /usr/share default $type)"
  done
  [ ! -e "$prefix" ] || fail "make uninstall left $(cd "$prefix" && find . | tr '\n' ' ')"
  rm -rf "$area"
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
  # Qt's own options are taken before the answer, as with a display.
  out=$(run -platform xcb -style fusion --version) || fail "tirlada with Qt's options and --version failed"
  [ "$out" = "Тирлада $version" ] || fail "with Qt's options, --version: got '$out'"
  # Every mistake is answered, in Russian, without reaching for a display.
  for arguments in "--bogus" "a.kwp b.kwp" "-style" "-platform xcb --bogus work.kwp"; do
    status=0
    out=$(run $arguments 2>&1) || status=$?
    echo "tirlada $arguments: $status: $out"
    [ $status = 2 ] || fail "tirlada $arguments: exit status $status, not 2"
    grep -q '^Справка: tirlada --help$' <<<"$out" || fail "tirlada $arguments: no hint at --help"
    if grep -qiE 'display|abort' <<<"$out"; then fail "tirlada $arguments reached for a display"; fi
  done
  ;;

window)
  # The running window as a dock sees it, on an X display of its own.
  xvfb-run -a -s '-screen 0 1280x1024x24' bash "$0" window-on-display "$build" "$work"
  ;;

window-on-display)
  area=$work/window
  rm -rf "$area"
  mkdir -p "$area"/{data,config,empty}
  # No icon theme knows the program: the bundled icon must do.
  env XDG_DATA_HOME="$area/data" XDG_CONFIG_HOME="$area/config" XDG_DATA_DIRS="$area/empty" \
    QT_QPA_PLATFORM=xcb "$build/tirlada" &
  pid=$!
  trap 'kill $pid 2>/dev/null || true' EXIT
  window=""
  for _ in $(seq 100); do
    window=$(xwininfo -root -tree | awk '/"ru\.kovirta\.tirlada"\)/ && /[0-9]+x[0-9]+\+/ { print $1; exit }')
    [ -n "$window" ] && break
    kill -0 $pid 2>/dev/null || fail "the program ended before showing its window"
    sleep 0.3
  done
  if [ -z "$window" ]; then
    xwininfo -root -tree | head -30
    fail "no window of the class ru.kovirta.tirlada"
  fi
  class=$(xprop -id "$window" WM_CLASS)
  echo "$class"
  [ "$class" = 'WM_CLASS(STRING) = "tirlada", "ru.kovirta.tirlada"' ] || fail "WM_CLASS is $class"
  icon=$(xprop -id "$window" _NET_WM_ICON | cut -c1-80 | head -1 || true)
  grep -q '^_NET_WM_ICON(CARDINAL) = ' <<<"$icon" || fail "the window has no icon: $icon"
  kill $pid
  ;;

screenshots)
  # Two runs of `make screenshots` draw the same pictures.
  area=$work/screenshots
  rm -rf "$area"
  for run in one two; do
    TIRLADA_SCREENSHOTS_ROOT=$area/root QT_QPA_PLATFORM=offscreen "$build/screenshots" "$area/$run" >/dev/null
  done
  [ -n "$(ls "$area/one")" ] || fail "no screenshots drawn"
  for picture in "$area"/one/*.png; do
    cmp -s "$picture" "$area/two/$(basename "$picture")" || fail "$(basename "$picture") differs between two runs"
  done
  [ ! -e "$area/root" ] || fail "the screenshots' home folder is left behind"
  rm -rf "$area"
  ;;

format)
  # make format-check passes on the tree and fails on a file out of format.
  bash "$source/scripts/format-check.sh"
  area=$work/format
  rm -rf "$area"
  mkdir -p "$area"
  printf 'int twice(int x) { return 2 * x; }\n' > "$area/good.cpp"
  bash "$source/scripts/format-check.sh" "$area" || fail "a formatted file fails the check"
  printf 'int twice(int x)\n{\n  return 2*x;\n}\n' > "$area/bad.cpp"
  if bash "$source/scripts/format-check.sh" "$area"; then fail "a file out of format passes the check"; fi
  rm -rf "$area"
  ;;

*)
  fail "unknown step $step"
  ;;
esac
