#!/usr/bin/env bash
# Generates small seed inputs for the fuzz targets into the folder given.
set -euo pipefail
mkdir -p "$1"
dir=$(cd "$1" && pwd)
mkdir -p "$dir/picture" "$dir/participant_id" "$dir/documents" "$dir/package_reader"
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
# A restart bomb: a baseline file that declares 8000 x 8000 pixels, with a
# restart interval of 255 MCUs and 1000 empty restart segments after its
# data, so that the decoder goes through every row.
cp "$dir/picture/baseline.jpg" "$tmp/restarts.jpg"
sof=$(LC_ALL=C grep -obUaP '\xff\xc0' "$tmp/restarts.jpg" | head -1 | cut -d: -f1)
printf '\x1f\x40\x1f\x40' | dd of="$tmp/restarts.jpg" bs=1 seek=$((sof + 5)) conv=notrunc status=none
sos=$(LC_ALL=C grep -obUaP '\xff\xda' "$tmp/restarts.jpg" | head -1 | cut -d: -f1)
{
  head -c "$sos" "$tmp/restarts.jpg"
  printf '\xff\xdd\x00\x04\x00\xff'
  tail -c +$((sos + 1)) "$tmp/restarts.jpg" | head -c -2
  for i in $(seq 0 999); do printf "\\xff\\x$(printf %x $((0xd0 + i % 8)))"; done
  printf '\xff\xd9'
} > "$dir/picture/restart-bomb.jpg"

# Participant IDs as typed or pasted.
printf '123-456-798' > "$dir/participant_id/dashes"
printf ' 123 456 798 ' > "$dir/participant_id/blanks"
printf '12e000007' > "$dir/participant_id/exponent"
printf '\xd0\xb0\xd0\xb1' > "$dir/participant_id/cyrillic"

# Snapshots: free bytes split into fields by the target.
printf 'Title\0Desc\r\nline\0manual\0\0\0\0\0\0notes\0a\0b\0c\0d' > "$dir/documents/simple"
printf '<&>"\x27\0\x01\x02\x0b\0\xef\xbf\xbe\0\xf0\x9f\x98\x80' > "$dir/documents/markup"

# Packages: a real one made by the archiver from a data document and a
# picture, and a few hostile ones.
pkg="$tmp/package"
mkdir -p "$pkg"
printf '<?xml version="1.0" encoding="UTF-8"?>\r\r\n<work><title>Title &#38; more</title><sz_id>4</sz_id>' > "$pkg/data.xml"
printf '<datetime>1233446400</datetime><description>Line\r\r\r\nnext</description><img_sign>Caption</img_sign>' >> "$pkg/data.xml"
printf '<manual></manual><tech_request></tech_request><public_post_index></public_post_index>' >> "$pkg/data.xml"
printf '<public_post_address></public_post_address><public_phone></public_phone><public_email></public_email>' >> "$pkg/data.xml"
printf '<subjects><subject>7</subject><subject>22</subject></subjects><people>' >> "$pkg/data.xml"
printf '<author p_id_full="100-000-135" surname="A" name="B" patronymic="C"></author>' >> "$pkg/data.xml"
printf '<teacher p_id_full="100-000-252" surname="D" name="E" patronymic="F" is_leader="True"></teacher>' >> "$pkg/data.xml"
printf '</people><notes></notes></work>\r\r\n' >> "$pkg/data.xml"
convert -size 30x20 gradient:red-blue "$tmp/small.ppm"
cjpeg -quality 90 -baseline -dct float "$tmp/small.ppm" > "$pkg/image.jpg"
(cd "$pkg" && 7za a -tzip -y -mx=0 -mm=Copy "$dir/package_reader/full.kwp" data.xml image.jpg >/dev/null)
(cd "$pkg" && 7za a -tzip -y -mx=0 -mm=Copy "$dir/package_reader/no-picture.kwp" data.xml >/dev/null)
(cd "$pkg" && 7za a -tzip -y "$dir/package_reader/deflated.kwp" data.xml image.jpg >/dev/null)
# The data documents alone, which the target packs itself.
cp "$pkg/data.xml" "$dir/package_reader/data.xml"
sed 's/<img_sign>Caption<\/img_sign>//' "$pkg/data.xml" > "$dir/package_reader/no-caption.xml"
# An entity declaration, a link, a name with "..", and a name twice.
mkdir -p "$tmp/dtd"
printf '<?xml version="1.0"?><!DOCTYPE work [<!ENTITY a "aaaa"><!ENTITY b "&a;&a;">]><work>&b;</work>' > "$tmp/dtd/data.xml"
(cd "$tmp/dtd" && 7za a -tzip -y -mx=0 -mm=Copy "$dir/package_reader/entities.kwp" data.xml >/dev/null)
mkdir -p "$tmp/link"
ln -s /etc/passwd "$tmp/link/image.jpg"
cp "$pkg/data.xml" "$tmp/link/"
(cd "$tmp/link" && 7za a -tzip -y -snl "$dir/package_reader/link.kwp" data.xml image.jpg >/dev/null)
sed 's/image\.jpg/..\/ab.jpg/g' "$dir/package_reader/full.kwp" > "$dir/package_reader/dotdot.kwp"
sed 's/image\.jpg/data\.xml/g' "$dir/package_reader/full.kwp" > "$dir/package_reader/twice.kwp"

# The committee's check: one byte choosing the input's form (0 a whole
# package, 1 a data document alone, 2 a data document with a picture), then
# the bytes.
mkdir -p "$dir/check"
# The worked example with its participant IDs given right check digits, so
# that the seeds reach the path of a sound package.
doc="$tmp/data.xml"
python3 - "$(dirname "$0")/../tests/save/data/worked_example.xml" "$doc" <<'PY'
import hashlib, re, sys
def checked(match):
    seven = match.group(1).replace("-", "")[:7]
    n = hashlib.md5(seven.encode("cp1251")).digest()[0]
    nine = seven + "%02d" % ((n * 99 + 127) // 255)
    return 'p_id_full="%s-%s-%s"' % (nine[:3], nine[3:6], nine[6:])
text = open(sys.argv[1], "rb").read().decode("utf-8")
open(sys.argv[2], "wb").write(re.sub(r'p_id_full="([0-9-]+)"', checked, text).encode("utf-8"))
PY
{ printf '\x01'; cat "$doc"; } > "$dir/check/document"
{ printf '\x02'; cat "$doc"; } > "$dir/check/document-with-picture"
python3 - "$doc" "$dir/picture/baseline.jpg" "$tmp/package.kwp" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[3], "w", zipfile.ZIP_STORED) as z:
    z.write(sys.argv[1], "data.xml")
    z.write(sys.argv[2], "image.jpg")
PY
{ printf '\x00'; cat "$tmp/package.kwp"; } > "$dir/check/package"
# The reader's packages, hostile ones included, as whole packages.
for f in "$dir"/package_reader/*.kwp; do
  { printf '\x00'; cat "$f"; } > "$dir/check/reader-$(basename "$f")"
done
