#!/usr/bin/env bash
# A 12-megapixel baseline photo (4000 x 3000, 4:2:0, quality 90) loaded and
# reduced to 300 x 225 as the window shows it, against the quickest reduced
# decodes of others: djpeg -scale 1/8 (libjpeg's DCT scaling, which gives
# other pixels than the full decode) and Pillow's draft() + reduce(). Ours
# gives the full decode's own pixels, sampled. Best of several runs, in one
# run of this script, as ratios. Prints the figures; asserts nothing.
#   target: ours within 1.1 x djpeg -scale 1/8
set -euo pipefail
build=$1
bench=$build/bench/picture_bench
djpeg=$(command -v djpeg)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

file=$work/photo.jpg
"$bench" ppm 4000 3000 | cjpeg -quality 90 -outfile "$file"
read -r ours eighth ratio < <("$bench" time8 "$file" "$djpeg" 15)
pillow=$(/usr/bin/python3 "$(pwd)/pillow_draft.py" "$file" 15)
printf '%-30s %10s %12s %10s %14s %10s\n' case "ours ms" "djpeg 1/8 ms" ratio "Pillow ms" ratio
printf '%-30s %10s %12s %10s %14s %10s\n' "4000x3000 baseline photo" "$ours" "$eighth" "${ratio}x" "$pillow" \
  "$(awk -v a="$ours" -v b="$pillow" 'BEGIN{printf "%.3fx", a/b}')"
