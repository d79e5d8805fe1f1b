#!/usr/bin/env bash
# Loading and reducing JPEG files against djpeg's full decode of the same
# files: baseline photos of four sizes, phone photos turned by their EXIF
# orientation, a 200-megapixel progressive photo; PNG files against Pillow's
# full decode; hostile small files (JPEG and PNG); the open dialog's preview
# of the two bombs; a file of 100 MB of APP1 segments.
# Prints the figures; asserts nothing.
#   targets: time within 1.15 x djpeg and extra memory under 8 MB for
#            baseline files, whatever the orientation; the 200-megapixel
#            progressive photo loads; no file under 1 MB keeps the window
#            busy for more than 1 s (progressive pictures over 2^28 pixels
#            are refused); the preview answers for the bombs well within a
#            second under 300 MB; 100 MB of APP1 segments within 64 MB
set -euo pipefail
build=$1
bench=$build/bench/picture_bench
djpeg=$(command -v djpeg)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mb() { awk -v k="$1" 'BEGIN{printf "%.2f", k/1024}'; }

# The least peak resident size (kB) of three runs of a command, as GNU time
# reports it: a small parent, so nothing of this script's memory is counted.
peak() {
  local least= kb
  for _ in 1 2 3; do
    /usr/bin/time -o "$work/peak" -f %M "$@" >/dev/null 2>&1 || true
    kb=$(tail -1 "$work/peak")
    if [ -z "$least" ] || [ "$kb" -lt "$least" ]; then least=$kb; fi
  done
  echo "$least"
}

printf '%-26s %10s %10s %7s %10s %10s %9s %8s\n' case "ours ms" "djpeg ms" ratio "ours MB" "djpeg MB" "extra MB" "file MB"
row() { # name file runs
  local name=$1 file=$2 runs=$3 ours theirs ratio load_kb idle_kb djpeg_kb
  read -r ours theirs ratio < <("$bench" time "$file" "$djpeg" "$runs")
  load_kb=$(peak "$bench" load "$file")
  idle_kb=$(peak "$bench" idle "$file")
  djpeg_kb=$(peak "$djpeg" -outfile /dev/null "$file")
  printf '%-26s %10s %10s %7s %10s %10s %9s %8s\n' "$name" "$ours" "$theirs" "${ratio}x" \
    "$(mb "$load_kb")" "$(mb "$djpeg_kb")" "$(mb $((load_kb - idle_kb)))" "$(mb $(( $(stat -c %s "$file") / 1024 )))"
}

for entry in 640x480:30 4000x3000:7 6000x4000:5 12000x8000:3; do
  size=${entry%%:*}
  file=$work/$size.jpg
  "$bench" ppm "${size%x*}" "${size#*x}" | cjpeg -quality 90 -outfile "$file"
  row "$size" "$file" "${entry##*:}"
  if [ "$size" = 4000x3000 ] || [ "$size" = 12000x8000 ]; then
    for orientation in 3 6 8; do
      cp "$file" "$work/turned.jpg"
      exiftool -q -overwrite_original -n -Orientation=$orientation "$work/turned.jpg"
      row "$size orientation $orientation" "$work/turned.jpg" "${entry##*:}"
    done
    rm -f "$work/turned.jpg"
  fi
  rm -f "$file"
done

# 200 megapixels, progressive, 4:2:0: the largest photo the decoder's memory
# cap is meant for.
file=$work/200mp.jpg
"$bench" ppm 16330 12250 | cjpeg -quality 90 -progressive -outfile "$file"
row "16330x12250 progressive" "$file" 2
rm -f "$file"

# PNG files: the time to load and reduce against Pillow's full decode, and
# peak memory (Pillow's includes its Python, about 10 MB).
pillow=(/usr/bin/python3 "$(pwd)/pillow_load.py")
echo
printf '%-34s %10s %10s %7s %10s %10s %8s\n' "PNG case" "ours ms" "Pillow ms" ratio "ours MB" "Pillow MB" "file MB"
png_row() { # name file runs
  local name=$1 file=$2 runs=$3 ours theirs load_kb pillow_kb
  ours=$("$bench" best "$file" "$runs")
  theirs=$("${pillow[@]}" "$file" "$runs")
  load_kb=$(peak "$bench" load "$file")
  pillow_kb=$(peak "${pillow[@]}" "$file" 1)
  printf '%-34s %10s %10s %7s %10s %10s %8s\n' "$name" "$ours" "$theirs" \
    "$(awk -v a="$ours" -v b="$theirs" 'BEGIN{printf "%.3fx", a/b}')" \
    "$(mb "$load_kb")" "$(mb "$pillow_kb")" "$(mb $(( $(stat -c %s "$file") / 1024 )))"
}
for entry in 1920x1080:10 4000x3000:3; do
  size=${entry%%:*}
  "$bench" ppm "${size%x*}" "${size#*x}" > "$work/photo.ppm"
  convert "$work/photo.ppm" "$work/photo.png"
  png_row "$size RGB" "$work/photo.png" "${entry##*:}"
  convert "$work/photo.ppm" -interlace PNG "$work/photo.png"
  png_row "$size RGB, interlaced" "$work/photo.png" "${entry##*:}"
  convert "$work/photo.ppm" -alpha set -channel A -fx 'i/w' "$work/photo.png"
  png_row "$size RGBA" "$work/photo.png" "${entry##*:}"
done
rm -f "$work/photo.ppm" "$work/photo.png"
"$bench" uniform 8192 8192 0 "$work/uniform.png"
png_row "8192x8192 RGBA uniform" "$work/uniform.png" 3
"$bench" uniform 8192 8192 1 "$work/uniform.png"
png_row "8192x8192 RGBA uniform, interlaced" "$work/uniform.png" 3
rm -f "$work/uniform.png"

# Hostile small files: the time until the window is free again.
echo
printf '%-44s %10s %8s  %s\n' "small file" "ours ms" "file kB" outcome
hostile() { # name file
  local ms outcome
  read -r ms outcome < <("$bench" refuse "$2")
  printf '%-44s %10s %8s  %s\n' "$1" "$ms" "$(( $(stat -c %s "$2") / 1024 ))" "$outcome"
}
"$bench" ppm 64 64 | cjpeg -progressive -outfile "$work/small.jpg"
sof=$(LC_ALL=C grep -obUaP '\xff\xc2' "$work/small.jpg" | head -1 | cut -d: -f1)
declare_size() { # file width height
  printf "\\x$(printf %02x $(($3 >> 8)))\\x$(printf %02x $(($3 & 255)))\\x$(printf %02x $(($2 >> 8)))\\x$(printf %02x $(($2 & 255)))" |
    dd of="$1" bs=1 seek=$((sof + 5)) conv=notrunc status=none
}
scans() { # count
  for _ in $(seq "$1"); do printf '\xff\xda\x00\x08\x01\x01\x00\x01\x3f\x10'; done
}
make_hollow() { # out width height scans
  cp "$work/small.jpg" "$work/h.jpg"
  declare_size "$work/h.jpg" "$2" "$3"
  { head -c -2 "$work/h.jpg"; scans "$4"; printf '\xff\xd9'; } > "$1"
}
make_hollow "$work/bomb.jpg" 12000 12000 3000
hostile "scan bomb 12000x12000, 3000 empty scans" "$work/bomb.jpg"
make_hollow "$work/bomb.jpg" 12000 12000 25
hostile "12000x12000, 25 empty scans" "$work/bomb.jpg"
make_hollow "$work/bomb.jpg" 12000 12000 0
hostile "12000x12000 progressive, no data" "$work/bomb.jpg"
make_hollow "$work/bomb.jpg" 16330 12250 0
hostile "16330x12250 progressive, no data" "$work/bomb.jpg"
make_hollow "$work/bomb.jpg" 16384 16384 10
hostile "16384x16384 progressive (2^28 px), 10 scans" "$work/bomb.jpg"
make_hollow "$work/bomb.jpg" 16385 16384 0
hostile "16385x16384 progressive (over 2^28 pixels)" "$work/bomb.jpg"
"$bench" ppm 64 64 | cjpeg -outfile "$work/base.jpg"
sof0=$(LC_ALL=C grep -obUaP '\xff\xc0' "$work/base.jpg" | head -1 | cut -d: -f1)
printf '\xfd\xe8\xfd\xe8' | dd of="$work/base.jpg" bs=1 seek=$((sof0 + 5)) conv=notrunc status=none
hostile "65000x65000 baseline, no data" "$work/base.jpg"
# The same with a restart interval of 65535 MCUs and 260 empty restart
# segments: the decoder goes through every row of the declared picture.
restarts() { # count
  for i in $(seq 0 $(($1 - 1))); do printf "\\xff\\x$(printf %x $((0xd0 + i % 8)))"; done
}
sos=$(LC_ALL=C grep -obUaP '\xff\xda' "$work/base.jpg" | head -1 | cut -d: -f1)
{ head -c "$sos" "$work/base.jpg"; printf '\xff\xdd\x00\x04\xff\xff'
  tail -c +$((sos + 1)) "$work/base.jpg" | head -c -2; restarts 260; printf '\xff\xd9'; } > "$work/restarts.jpg"
hostile "65000x65000 baseline, 260 empty restarts" "$work/restarts.jpg"
"$bench" png 8192 8192 8 "$work/big.png"
hostile "PNG 8192x8192 (the limit at 8 bits)" "$work/big.png"
"$bench" png 5792 5792 16 "$work/big.png"
hostile "PNG 5792x5792 (the limit at 16 bits)" "$work/big.png"
"$bench" png 8193 8192 8 "$work/big.png"
hostile "PNG 8193x8192 (over the limit)" "$work/big.png"
"$bench" uniform 8192 8192 0 "$work/big.png"
hostile "PNG 8192x8192 RGBA, plain" "$work/big.png"
"$bench" uniform 8192 8192 1 "$work/big.png"
hostile "PNG 8192x8192 RGBA, interlaced" "$work/big.png"
# 65500 x 65500, a restart interval of one MCU, a comment after 16 bytes of
# data: the decoder stands at the comment for every one of 67 million MCUs.
"$bench" ppm 64 64 | cjpeg -restart 1B -outfile "$work/marker.jpg"
sof0=$(LC_ALL=C grep -obUaP '\xff\xc0' "$work/marker.jpg" | head -1 | cut -d: -f1)
printf '\xff\xdc\xff\xdc' | dd of="$work/marker.jpg" bs=1 seek=$((sof0 + 5)) conv=notrunc status=none
sos=$(LC_ALL=C grep -obUaP '\xff\xda' "$work/marker.jpg" | head -1 | cut -d: -f1)
{ head -c $((sos + 14 + 16)) "$work/marker.jpg"; printf '\xff\xfe\x00\x06note\xff\xd9'; } > "$work/comment.jpg"
hostile "65500x65500 baseline, RI 1, comment in data" "$work/comment.jpg"

# The open dialog's preview of the two bombs: the time until the preview
# is given up, and the peak memory of the process.
echo
printf '%-44s %10s %10s %8s  %s\n' "previewed file" "ours ms" "peak MB" "file kB" outcome
preview() { # name file
  local ms outcome kb
  read -r ms outcome < <("$bench" preview "$2")
  kb=$(peak "$bench" preview "$2")
  printf '%-44s %10s %10s %8s  %s\n' "$1" "$ms" "$(mb "$kb")" "$(( $(stat -c %s "$2") / 1024 ))" "$outcome"
}
make_hollow "$work/bomb.jpg" 16384 16384 499
preview "progressive 16384x16384, 499 scans" "$work/bomb.jpg"
"$bench" cmykbomb "$work/cmyk.jpg"
preview "CMYK progressive 16384x16384, 4 scans" "$work/cmyk.jpg"
"$bench" ppm 4000 3000 | cjpeg -progressive -outfile "$work/photo.jpg"
preview "4000x3000 progressive photo" "$work/photo.jpg"

# 100 MB of APP1 segments (not EXIF) before a small picture: only the first
# EXIF segment is kept, so the memory stays that of the picture.
echo
"$bench" ppm 640 480 | cjpeg -outfile "$work/small.jpg"
{ printf '\xff\xd8'
  head -c 65533 /dev/zero | tr '\0' ' ' > "$work/pad"
  for _ in $(seq 1600); do printf '\xff\xe1\xff\xff'; cat "$work/pad"; done
  tail -c +3 "$work/small.jpg"; } > "$work/app1.jpg"
read -r ms outcome < <("$bench" refuse "$work/app1.jpg")
printf '%-44s %10s ms %8s MB peak, file %s MB  %s\n' "100 MB of APP1 segments" "$ms" \
  "$(mb "$(peak "$bench" load "$work/app1.jpg")")" "$(( $(stat -c %s "$work/app1.jpg") / 1024 / 1024 ))" "$outcome"
