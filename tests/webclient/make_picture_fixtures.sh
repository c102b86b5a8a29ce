#!/bin/sh
# Pictures of a known layout in each format the wallpaper path reads: the top
# half red, the bottom half blue, 64 by 48 pixels; and a 3840 by 2160 photo-like
# JPEG for the benchmark.
set -e
out=$1
mkdir -p "$out"
cd "$out"
convert -size 64x48 xc:red -fill blue -draw "rectangle 0,24 63,47" halves.png
convert halves.png -quality 95 halves.jpg
convert halves.png halves.gif
convert halves.png -type TrueColor BMP3:halves.bmp
convert -size 63x47 xc:green odd.png
printf 'this is not a picture\n' > not-a-picture.jpg
: > empty.jpg
touch stamp
