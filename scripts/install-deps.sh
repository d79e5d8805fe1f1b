#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tirlada need.
# Only what is missing is installed; nothing happens when everything is present.
set -euo pipefail

packages=(
  # build and run
  build-essential cmake pkg-config qt6-base-dev libjpeg62-turbo-dev libexif-dev libzip-dev zlib1g-dev p7zip-full
  # Tahoma, the window's font; Qt's own dialogs in Russian
  fonts-wine qt6-translations-l10n
  # spelling: Hunspell and the Russian and English dictionaries
  libhunspell-dev hunspell-ru hunspell-en-us
  # tests and benchmarks: oracles, EXIF writing, peak memory, headless display,
  # screenshots, a real browser, Python for reading CSV files back
  libjpeg-turbo-progs libimage-exiftool-perl unzip time libxml2-utils xvfb xauth imagemagick chromium python3
  fonts-dejavu-core
  # installing and packaging: icons, desktop entry, file type, AppStream,
  # xdg-mime with its lookups (File::MimeInfo, GIO), the Debian package
  librsvg2-bin desktop-file-utils appstream shared-mime-info xdg-utils
  libfile-mimeinfo-perl libglib2.0-bin lintian dpkg-dev fakeroot file
  # sanitizer build and fuzzing
  clang libclang-rt-14-dev valgrind
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
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
