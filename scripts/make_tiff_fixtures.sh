#!/bin/bash
# Makes the TIFF fixtures of tests/data/tiff/ with well-kept tools (libtiff's tiffcp/tiffset,
# ImageMagick, Pillow) and records, in reference.tsv, the md5 of each file's pixels as
# a reference tool decodes them (see below): 8-bit RGBA rows top first, fully transparent
# pixels as 0,0,0,0. Unassociated alpha is recorded premultiplied (c x a / 255, rounded down),
# the form the viewer's raster keeps.
# Needs: libtiff-tools, imagemagick, python3-pil (Debian's /usr/bin/python3).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
corpus="$root/../shared/corpus/tiff"
out="$root/tests/data/tiff"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cd "$work"

# Sources: an odd-sized crop of the corpus' hopper (so tiles are clipped at both edges).
convert "$corpus/hopper.tif" -crop 45x37+40+30 +repage -compress none rgb8.tif
convert rgb8.tif -colorspace Gray -depth 8 -compress none grey8.tif
/usr/bin/python3 -c "
from PIL import Image
Image.open('rgb8.tif').convert('1').save('bilevel.tif')"

make() {  # make NAME COMMAND...: runs the command, which writes $out/NAME
  local name=$1
  shift
  "$@"
  echo "made $name"
}

make rgb8_deflate.tif tiffcp -c zip rgb8.tif "$out/rgb8_deflate.tif"
make rgb8_lzw_pred_tiles.tif tiffcp -c lzw:2 -t -w 16 -l 16 rgb8.tif "$out/rgb8_lzw_pred_tiles.tif"
make rgb8_separate.tif tiffcp -p separate -c packbits rgb8.tif "$out/rgb8_separate.tif"
make rgb8_separate_tiles.tif tiffcp -p separate -t -w 16 -l 16 rgb8.tif "$out/rgb8_separate_tiles.tif"
make rgb8_bigendian.tif tiffcp -B -c lzw rgb8.tif "$out/rgb8_bigendian.tif"
make rgb4.tif convert rgb8.tif -depth 4 -compress none "$out/rgb4.tif"
make rgb2.tif convert rgb8.tif -depth 2 -compress none "$out/rgb2.tif"
make rgb16_bigendian.tif sh -c "convert rgb8.tif -depth 16 -compress none rgb16.tif && tiffcp -B rgb16.tif '$out/rgb16_bigendian.tif'"
make rgb16_pred.tif sh -c "convert rgb8.tif -depth 16 -compress none rgb16.tif && tiffcp -c lzw:2 rgb16.tif '$out/rgb16_pred.tif'"
make rgba_unassoc.tif convert rgb8.tif \( +clone -fx "i/w" \) -alpha off -compose copy_opacity -composite -compress lzw "$out/rgba_unassoc.tif"
make rgba_unassoc_separate.tif tiffcp -p separate "$out/rgba_unassoc.tif" "$out/rgba_unassoc_separate.tif"
make cmyk8.tif convert rgb8.tif -colorspace CMYK -compress none "$out/cmyk8.tif"
make cmyk16.tif convert rgb8.tif -colorspace CMYK -depth 16 -compress none "$out/cmyk16.tif"
make grey16_bigendian.tif sh -c "convert grey8.tif -depth 16 -compress none g16.tif && tiffcp -B g16.tif '$out/grey16_bigendian.tif'"
make grey8_miniswhite.tif sh -c "convert grey8.tif -negate -compress none g.tif && tiffcp g.tif '$out/grey8_miniswhite.tif' && tiffset -s 262 0 '$out/grey8_miniswhite.tif'"
make grey8_bottomleft.tif sh -c "tiffcp -r 8 grey8.tif '$out/grey8_bottomleft.tif' && tiffset -s 274 4 '$out/grey8_bottomleft.tif'"
make palette4.tif convert rgb8.tif -colors 16 -depth 4 -type Palette -compress none "$out/palette4.tif"
make palette8_packbits.tif convert rgb8.tif -colors 200 -type Palette -compress RLE "$out/palette8_packbits.tif"
make fax_g3_1d.tif tiffcp -c g3 bilevel.tif "$out/fax_g3_1d.tif"
make fax_g3_2d.tif tiffcp -c g3:2d:fill bilevel.tif "$out/fax_g3_2d.tif"
make fax_g4.tif tiffcp -c g4 bilevel.tif "$out/fax_g4.tif"
make fax_g4_lsb.tif tiffcp -c g4 -f lsb2msb bilevel.tif "$out/fax_g4_lsb.tif"
make fax_rle.tif /usr/bin/python3 -c "
from PIL import Image
Image.open('bilevel.tif').convert('1').save('$out/fax_rle.tif', compression='tiff_ccitt')"

# Reference pixels. ImageMagick for most files; CMYK converted to sRGB by ImageMagick; palette
# files by Pillow, which takes each 16-bit colour map value's high byte as the viewer does
# (ImageMagick rounds them to the nearest 8-bit value instead).
cd "$out"
: > reference.tsv
for f in *.tif; do
  premultiply=0
  if tiffinfo "$f" 2>/dev/null | grep -q 'unassoc-alpha'; then premultiply=1; fi
  case "$f" in
    palette*) decode=(/usr/bin/python3 -c "
import sys
from PIL import Image
sys.stdout.buffer.write(Image.open('$f').convert('RGBA').tobytes())") ;;
    cmyk*) decode=(convert "$f[0]" -colorspace sRGB -depth 8 RGBA:-) ;;
    *bottomleft*) decode=(convert "$f[0]" -auto-orient -set colorspace sRGB -depth 8 RGBA:-) ;;
    *) decode=(convert "$f[0]" -set colorspace sRGB -depth 8 RGBA:-) ;;
  esac
  md5=$("${decode[@]}" | python3 -c "
import sys, hashlib
b = bytearray(sys.stdin.buffer.read())
for i in range(0, len(b), 4):
    a = b[i + 3]
    if a == 0:
        b[i:i + 4] = b'\\0\\0\\0\\0'
    elif $premultiply:
        for k in range(3):
            b[i + k] = b[i + k] * a // 255
print(hashlib.md5(b).hexdigest())")
  printf '%s\t%s\n' "$f" "$md5" >> reference.tsv
done
echo "wrote $out/reference.tsv"
