#!/usr/bin/env bash
# Generates small seed inputs for the fuzz targets into the folder given.
set -euo pipefail
dir=$1
mkdir -p "$dir/picture" "$dir/participant_id" "$dir/documents"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Pictures: baseline, progressive, greyscale, restart markers, CMYK.
convert -size 37x23 gradient:red-blue "$tmp/colour.ppm"
convert -size 17x29 gradient:white-black -colorspace Gray "$tmp/grey.pgm"
cjpeg -quality 75 "$tmp/colour.ppm" > "$dir/picture/baseline.jpg"
cjpeg -progressive "$tmp/colour.ppm" > "$dir/picture/progressive.jpg"
cjpeg -grayscale "$tmp/grey.pgm" > "$dir/picture/grey.jpg"
cjpeg -restart 1 "$tmp/colour.ppm" > "$dir/picture/restart.jpg"
cjpeg -sample 1x1 -optimize "$tmp/colour.ppm" > "$dir/picture/optimized-444.jpg"
convert "$tmp/colour.ppm" -colorspace CMYK -quality 80 "$dir/picture/cmyk.jpg"
convert "$tmp/colour.ppm" -alpha set -channel A -evaluate set 50% "$dir/picture/screenshot.png"
# A photo turned by its EXIF orientation.
cp "$dir/picture/baseline.jpg" "$dir/picture/oriented.jpg"
exiftool -q -overwrite_original -n -Orientation=6 "$dir/picture/oriented.jpg"
# A scan bomb: a progressive file that declares 12000 x 12000 pixels and
# holds 3000 empty scans (each a copy of the last scan's header).
bomb="$dir/picture/scan-bomb.jpg"
cp "$dir/picture/progressive.jpg" "$tmp/bomb.jpg"
sof=$(LC_ALL=C grep -obUaP '\xff\xc2' "$tmp/bomb.jpg" | head -1 | cut -d: -f1)
printf '\x2e\xe0\x2e\xe0' | dd of="$tmp/bomb.jpg" bs=1 seek=$((sof + 5)) conv=notrunc status=none
head -c -2 "$tmp/bomb.jpg" > "$bomb"
for _ in $(seq 3000); do printf '\xff\xda\x00\x08\x01\x01\x00\x01\x3f\x10'; done >> "$bomb"
printf '\xff\xd9' >> "$bomb"

# Participant IDs as typed or pasted.
printf '123-456-798' > "$dir/participant_id/dashes"
printf ' 123 456 798 ' > "$dir/participant_id/blanks"
printf '12e000007' > "$dir/participant_id/exponent"
printf '\xd0\xb0\xd0\xb1' > "$dir/participant_id/cyrillic"

# Snapshots: free bytes split into fields by the target.
printf 'Title\0Desc\r\nline\0manual\0\0\0\0\0\0notes\0a\0b\0c\0d' > "$dir/documents/simple"
printf '<&>"\x27\0\x01\x02\x0b\0\xef\xbf\xbe\0\xf0\x9f\x98\x80' > "$dir/documents/markup"
