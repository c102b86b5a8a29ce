#!/bin/sh
# Pictures of a known layout in each format the wallpaper path reads: the top
# half red, the bottom half blue, 64 by 48 pixels; and a 3840 by 2160 photo-like
# JPEG for the benchmark. Beside them: photos stored turned or mirrored with the
# EXIF orientation that shows them upright, a wide panorama, JPEGs whose
# header claims more pixels than any screen, an icon, 4K animated GIFs and a
# GIF whose image covers the middle of its screen.
set -e
out=$1
mkdir -p "$out"
cd "$out"
convert -size 64x48 xc:red -fill blue -draw "rectangle 0,24 63,47" halves.png
convert halves.png -quality 95 halves.jpg
convert halves.png halves.gif
convert halves.png -set comment "red over blue" -quality 95 -interlace JPEG halves-progressive.jpg
convert halves.png -type TrueColor BMP3:halves.bmp
convert halves.png BMP:halves-v5.bmp
convert halves.png BMP2:halves-os2.bmp
convert -size 3840x2160 xc:red xc:blue xc:lime -loop 0 three-frames.gif
convert -size 32x24 xc:red -set page 64x48+16+12 red-inside-its-screen.gif
convert -size 63x47 xc:green odd.png
printf 'this is not a picture\n' > not-a-picture.jpg
: > empty.jpg

# Shown upright, 64 by 48: red, lime / blue, white quarters.
convert -size 64x48 xc:white -fill red -draw "rectangle 0,0 31,23" -fill lime -draw "rectangle 32,0 63,23" \
    -fill blue -draw "rectangle 0,24 31,47" quarters.png
# An APP1 segment holding an EXIF block with the orientation tag alone, in
# either byte order (II: little-endian, MM: big-endian).
exif_segment() {
    value=\\$(printf '%03o' "$1")
    if [ "$2" = II ]; then
        printf "\377\341\000\042Exif\000\000II*\000\010\000\000\000\001\000\022\001\003\000\001\000\000\000$value\000\000\000\000\000\000\000"
    else
        printf "\377\341\000\042Exif\000\000MM\000*\000\000\000\010\000\001\001\022\000\003\000\000\000\001\000$value\000\000\000\000\000\000"
    fi
}
# How a camera stores the upright picture for each orientation.
stored_as() {
    case $1 in
        1) echo "" ;; 2) echo "-flop" ;; 3) echo "-rotate 180" ;; 4) echo "-flip" ;;
        5) echo "-transpose" ;; 6) echo "-rotate 270" ;; 7) echo "-transverse" ;; 8) echo "-rotate 90" ;;
    esac
}
for orientation in 1 2 3 4 5 6 7 8; do
    # shellcheck disable=SC2046
    convert quarters.png $(stored_as $orientation) -strip -quality 95 -sampling-factor 1x1 stored.jpg
    for order in II MM; do
        { printf '\377\330'; exif_segment $orientation $order; tail -c +3 stored.jpg; } > "oriented-$orientation-$order.jpg"
    done
done
rm stored.jpg

# Made by hand: ImageMagick's policy here refuses a side beyond 16384.
convert -size 16x16 xc:gray -quality 90 small.jpg
python3 - small.jpg <<'PY'
import struct, sys, zlib

# Fill bytes, stray bytes and a stuffed zero between segments, which decoders
# step over: before the JFIF segment and after it.
jpeg = open("halves.jpg", "rb").read()
jfif_end = 4 + (jpeg[4] << 8 | jpeg[5])
jpeg = jpeg[:2] + b"\xff\xff" + jpeg[2:jfif_end] + b"\x00\x17\xff\x00\x55" + jpeg[jfif_end:]
open("halves-between-segments.jpg", "wb").write(jpeg)

# Nine 3840 by 2160 frames: red, blue, lime three times over. One convert of
# all nine would spill to the disk for minutes.
gif = open("three-frames.gif", "rb").read()
head = 13 + (3 << ((gif[10] & 7) + 1) if gif[10] & 0x80 else 0)
loop = b"\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"
frames = gif[head:-1].replace(loop, b"")
nine = gif[:head] + loop + frames * 3 + b";"
open("nine-frames-4k.gif", "wb").write(nine)
# Cut short in its last frame: the first is whole all the same.
open("nine-frames-4k-cut.gif", "wb").write(nine[:-1000])

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

# 20000 by 100, green.
row = b"\0" + b"\0\xff\0" * 20000
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 20000, 100, 8, 2, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(row * 100)) + chunk(b"IEND", b"")
open("panorama.png", "wb").write(png)

# 16384 by 16384 in its frame header, 16 by 16 in its data.
jpeg = bytearray(open(sys.argv[1], "rb").read())
at = 2
while jpeg[at + 1] not in (0xC0, 0xC1, 0xC2):
    at += 2 + (jpeg[at + 2] << 8 | jpeg[at + 3])
jpeg[at + 5:at + 9] = struct.pack(">HH", 16384, 16384)
open("huge.jpg", "wb").write(jpeg)
# The same with a stray byte before its frame header, which decoders step over.
open("huge-behind-a-stray-byte.jpg", "wb").write(jpeg[:at] + b"\0" + jpeg[at:])

# An icon holding halves.png: a format whose size only its decoder reads.
png = open("halves.png", "rb").read()
icon = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 64, 48, 0, 0, 1, 32, len(png), 22) + png
open("halves.ico", "wb").write(icon)
PY
rm small.jpg three-frames.gif
touch stamp
