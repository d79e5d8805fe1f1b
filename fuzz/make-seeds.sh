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
