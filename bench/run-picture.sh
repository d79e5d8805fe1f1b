#!/usr/bin/env bash
# Loading and reducing baseline JPEG files of four sizes, against djpeg's full
# decode of the same files. Prints the figures; asserts nothing.
#   targets: time within 1.15 x djpeg, peak extra memory under 8 MB
set -euo pipefail
build=$1
bench=$build/bench/picture_bench
djpeg=$(command -v djpeg)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '%-12s %10s %10s %8s %12s %10s\n' size "ours ms" "djpeg ms" ratio "extra MB" "file MB"
for entry in 640x480:30 4000x3000:7 6000x4000:5 12000x8000:3; do
  size=${entry%%:*}
  runs=${entry##*:}
  file=$work/$size.jpg
  "$bench" ppm "${size%x*}" "${size#*x}" | cjpeg -quality 90 -outfile "$file"
  read -r ours theirs ratio < <("$bench" time "$file" "$djpeg" "$runs")
  extra_kb=$("$bench" memory "$file")
  file_kb=$(( $(stat -c %s "$file") / 1024 ))
  printf '%-12s %10s %10s %8s %12s %10s\n' "$size" "$ours" "$theirs" "${ratio}x" \
    "$(awk -v k="$extra_kb" 'BEGIN{printf "%.2f", k/1024}')" \
    "$(awk -v k="$file_kb" 'BEGIN{printf "%.1f", k/1024}')"
  rm -f "$file"
done
echo "targets: ratio <= 1.15, extra memory < 8 MB at every size"
