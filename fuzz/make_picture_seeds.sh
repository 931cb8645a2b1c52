#!/bin/sh
# Writes small PNG, JPEG and GIF seeds for picture_fuzz into DIR: the kinds
# of file each decoder meets (made with ImageMagick), and files shaped like
# the hostile ones the decoders must refuse (written byte by byte). The BMP
# seeds are the BMP suite in tests/data/bmpsuite.
#
#   fuzz/make_picture_seeds.sh DIR
set -eu
out=${1:?usage: $0 DIR}
mkdir -p "$out"
cd "$out"

# A 24 x 16 picture with gradients, pure black and near-black.
convert -size 24x16 gradient:'#ff2000-#0040ff' -fill black -draw 'rectangle 2,2 7,7' \
  -fill '#010000' -draw 'point 20,12' source.bmp

convert source.bmp seed-rgb.png
convert source.bmp -interlace PNG seed-interlaced.png
convert source.bmp -depth 16 PNG48:seed-deep.png
convert source.bmp -colors 8 PNG8:seed-palette.png
convert source.bmp -colorspace Gray -depth 4 seed-grey4.png
convert source.bmp -monochrome seed-mono.png
convert -size 16x16 xc:'rgba(0,0,255,0)' -fill 'rgba(0,255,0,0.5)' -draw 'rectangle 4,4 11,11' seed-alpha.png
convert -size 16x16 xc:red -fill blue -draw 'rectangle 0,0 7,15' -transparent blue PNG8:seed-trns.png

convert source.bmp -quality 75 seed-baseline.jpg
convert source.bmp -interlace JPEG seed-progressive.jpg
convert source.bmp -colorspace Gray seed-grey.jpg
convert source.bmp -colorspace CMYK seed-cmyk.jpg
convert source.bmp -sampling-factor 2x1 seed-422.jpg

convert source.bmp seed-plain.gif
convert source.bmp -interlace GIF seed-interlaced.gif
convert -size 16x16 xc:red -fill blue -draw 'rectangle 0,0 7,15' -transparent blue seed-transparent.gif
convert -delay 10 -size 12x8 xc:red xc:lime xc:blue seed-animated.gif
convert -size 10x6 xc:blue -page 20x12+4+3 -colors 4 seed-offset.gif
rm source.bmp

# A PNG whose next chunk header claims more than the file has.
head -c 33 seed-rgb.png >seed-cut-chunk.png
printf '\000\000\000\040cHRM' >>seed-cut-chunk.png
# A broken first GIF image (LZW code size 13), then one of 65535 x 65535.
printf 'GIF89a\001\000\001\000\000\000\000' >seed-second-image.gif
printf '\054\000\000\000\000\001\000\001\000\000\015\000' >>seed-second-image.gif
printf '\054\000\000\000\000\377\377\377\377\000\002\002\104\001\000\073' >>seed-second-image.gif
# FF 00 between segments, a 1 x 1 frame header inside a comment, then a
# 16384 x 16384 frame.
{
  printf '\377\330\377\000\000\006\377\376\000\017\377\300\000\013\010\000\001\000\001\001\001\021\000'
  printf '\377\333\000\103\000'
  printf '\001%.0s' $(seq 64)
  printf '\377\300\000\013\010\100\000\100\000\001\001\021\000'
  printf '\377\332\000\010\001\001\000\000\077\000'
  printf '\000%.0s' $(seq 16)
  printf '\377\331'
} >seed-hidden-frame.jpg
# A progressive 16384 x 4096 frame of three full-size components: libjpeg
# would need 384 MiB for its coefficients.
{
  printf '\377\330\377\333\000\103\000'
  printf '\001%.0s' $(seq 64)
  printf '\377\302\000\021\010\020\000\100\000\003\001\021\000\002\021\000\003\021\000'
  printf '\377\332\000\014\003\001\000\002\000\003\000\000\000\000'
  printf '\377\331'
} >seed-progressive-large.jpg
