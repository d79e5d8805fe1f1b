#!/usr/bin/env bash
# Installs the Debian packages that Tirlada needs, in groups:
#
#   install-deps.sh build     building and running the program (make run)
#   install-deps.sh install   and installing or packaging it (make install, make package)
#   install-deps.sh test      and the test tools (make test)
#
# Each group includes the ones above it. Only what is missing is installed;
# nothing happens when everything is present. One package per line, so that
# lists merge easily.
set -euo pipefail

# Building and running.
build=(
  build-essential
  cmake
  pkg-config
  qt6-base-dev
  libjpeg62-turbo-dev
  libpng-dev
  libexif-dev
  libzip-dev
  libxcb1-dev
  # the archiver that packs a passport
  p7zip-full
  # the window's icon, drawn as SVG
  libqt6svg6
  # spelling: Hunspell and the Russian and English dictionaries
  libhunspell-dev
  hunspell-ru
  hunspell-en-us
  # Tahoma, the window's font; Qt's own dialogs in Russian
  fonts-wine
  qt6-translations-l10n
)

# Installing and packaging: icons, menu entry, file type, the Debian package.
install=(
  librsvg2-bin
  desktop-file-utils
  shared-mime-info
  dpkg-dev
  fakeroot
  file
)

# The test tools.
test=(
  # oracles, EXIF writing, peak memory, reading CSV files back
  libjpeg-turbo-progs
  libimage-exiftool-perl
  unzip
  time
  libxml2-utils
  python3
  # Pillow, the reference decoder of PNG files
  python3-pil
  # what a screen reader hears: the AT-SPI bus and a listener on it
  at-spi2-core
  dbus
  python3-pyatspi
  # headless display, screenshots, the window's properties, a real browser
  xvfb
  xauth
  x11-utils
  imagemagick
  chromium
  fonts-dejavu-core
  # the installed program as a desktop sees it: AppStream, xdg-mime with its
  # lookups (File::MimeInfo, GIO), manual pages, the package's checker
  appstream
  xdg-utils
  libfile-mimeinfo-perl
  libglib2.0-bin
  man-db
  groff-base
  lintian
  # the format of the sources
  clang-format
  # the system calls of the committee's tool (its writes reaching the disk)
  strace
  # sanitizer build and fuzzing
  clang
  libclang-rt-14-dev
  valgrind
)

packages=()
for group in "${@:-build}"; do
  case $group in
    build) packages+=("${build[@]}") ;;
    install) packages+=("${build[@]}" "${install[@]}") ;;
    test) packages+=("${build[@]}" "${install[@]}" "${test[@]}") ;;
    *) echo "install-deps.sh: unknown group '$group' (build, install or test)" >&2; exit 2 ;;
  esac
done

# One question to dpkg for all of them; a package it does not know is missing.
mapfile -t wanted < <(printf '%s\n' "${packages[@]}" | sort -u)
mapfile -t present < <(dpkg-query -W -f='${Package} ${Status}\n' "${wanted[@]}" 2>/dev/null |
  awk '$NF == "installed" && $(NF-1) == "ok" { sub(/:.*/, "", $1); print $1 }')
missing=()
for p in "${wanted[@]}"; do
  [[ " ${present[*]} " == *" $p "* ]] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
