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

# Participant IDs as typed or pasted.
printf '123-456-798' > "$dir/participant_id/dashes"
printf ' 123 456 798 ' > "$dir/participant_id/blanks"
printf '12e000007' > "$dir/participant_id/exponent"
printf '\xd0\xb0\xd0\xb1' > "$dir/participant_id/cyrillic"

# Snapshots: free bytes split into fields by the target.
printf 'Title\0Desc\r\nline\0manual\0\0\0\0\0\0notes\0a\0b\0c\0d' > "$dir/documents/simple"
printf '<&>"\x27\0\x01\x02\x0b\0\xef\xbf\xbe\0\xf0\x9f\x98\x80' > "$dir/documents/markup"
