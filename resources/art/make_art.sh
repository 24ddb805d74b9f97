#!/usr/bin/env bash
# Recreates the updater's pictures in this folder:
#   logo.bmp             400 x 360, 24 bpp   main window background
#   button.bmp           17 x 17, 8 bpp      glyph of the default buttons
#   *folder.bmp          16 x 15, 4 bpp      folder tree
#   floppy/hard/network/cdrom/ram.bmp        16 x 11, 4 bpp, drive list
#   SoranoteUpdater.ico  16, 32 and 48 px    application icon
# Needs ImageMagick 6 (convert), python3 and the IPA Gothic fonts.
# The small pictures are drawn pixel by pixel in pixels.py; the script ends
# by checking every file's header.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
fontdir=/usr/share/fonts/opentype/ipafont-gothic
font=""
for f in "$fontdir/ipagp.ttf" "$fontdir/ipagp.otf" "$fontdir/ipag.ttf" "$fontdir/ipag.otf"; do
  if [[ -f "$f" ]]; then font="$f"; break; fi
done
if [[ -z "$font" ]]; then
  echo "make_art.sh: IPA Gothic font not found in $fontdir" >&2
  exit 1
fi
command -v convert >/dev/null || { echo "make_art.sh: ImageMagick convert missing" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# ---- logo -------------------------------------------------------------------
# Calm sky: a deep blue top fading to a pale horizon, soft clouds kept away
# from the band y 268..330 where the two 114 x 43 buttons sit (x 52 and 236).
W=400 H=360

convert -size ${W}x190 gradient:'#2c68b4'-'#7db8ea' \
        -size ${W}x170 gradient:'#7db8ea'-'#e6f3fd' -append "$work/sky.png"

# Clouds: white ellipses, blurred into soft shapes; each line is one cloud.
convert -size ${W}x${H} xc:none -fill white \
  -draw "ellipse 52,44 30,11 0,360"  -draw "ellipse 76,38 22,13 0,360" \
  -draw "ellipse 98,46 26,9 0,360" \
  -draw "ellipse 318,30 24,9 0,360"  -draw "ellipse 340,24 20,12 0,360" \
  -draw "ellipse 362,31 22,8 0,360" \
  -blur 0x5 -channel A -evaluate multiply 0.55 +channel "$work/clouds_high.png"

convert -size ${W}x${H} xc:none -fill white \
  -draw "ellipse 40,228 46,14 0,360"  -draw "ellipse 78,216 34,20 0,360" \
  -draw "ellipse 116,230 38,12 0,360" \
  -draw "ellipse 292,222 40,12 0,360" -draw "ellipse 328,208 32,20 0,360" \
  -draw "ellipse 366,220 40,14 0,360" \
  -draw "ellipse 200,244 56,8 0,360" \
  -blur 0x7 -channel A -evaluate multiply 0.75 +channel "$work/clouds_mid.png"

# A low bank of cloud along the bottom edge, below the buttons.
convert -size ${W}x${H} xc:none -fill white \
  -draw "ellipse 30,366 70,20 0,360"  -draw "ellipse 130,370 80,22 0,360" \
  -draw "ellipse 240,368 80,20 0,360" -draw "ellipse 350,364 80,22 0,360" \
  -blur 0x6 -channel A -evaluate multiply 0.9 +channel "$work/clouds_low.png"

title="ソラノート"
subtitle="アップデーター"

# Soft shadow under the lettering keeps white text legible on the sky.
convert -size ${W}x${H} xc:none -font "$font" -gravity north \
  -fill '#143c70' -pointsize 66 -kerning 6 -annotate +2+76 "$title" \
  -pointsize 24 -kerning 8 -annotate +1+164 "$subtitle" \
  -blur 0x3 -channel A -evaluate multiply 0.45 +channel "$work/shadow.png"

# Crisp lettering, plus a short rule between title and subtitle.
convert -size ${W}x${H} xc:none -font "$font" -gravity north \
  -fill white -stroke white -strokewidth 1 \
  -pointsize 66 -kerning 6 -annotate +0+72 "$title" \
  -strokewidth 0.6 -pointsize 24 -kerning 8 -annotate +0+162 "$subtitle" \
  -stroke none \
  -fill '#ffffffb0' -draw "roundrectangle 150,151 250,153 1,1" \
  "$work/text.png"

convert "$work/sky.png" \
  "$work/clouds_high.png" -composite \
  "$work/clouds_mid.png" -composite \
  "$work/clouds_low.png" -composite \
  "$work/shadow.png" -composite \
  "$work/text.png" -composite \
  -alpha off -type TrueColor -compress None BMP3:"$here/logo.bmp"

# ---- small pictures -----------------------------------------------------------
python3 "$here/pixels.py" draw "$here"

# ---- icon -------------------------------------------------------------------
# A cloud-shaped note on a sky tile, with a green update arrow.  Drawn at
# 384 px and scaled down, so the edges come out smooth at 48 and 32 px.
S=384
convert -size ${S}x${S} gradient:'#3a86dc'-'#9fd3fb' \
  \( -size ${S}x${S} xc:black -fill white -draw "roundrectangle 8,8 375,375 72,72" \) \
  -alpha off -compose CopyOpacity -composite "$work/tile.png"

# Cloud: three circles on a rounded base; two faint rules make it a note.
convert -size ${S}x${S} xc:none -fill white \
  -draw "circle 128,188 128,120" -draw "circle 210,160 210,70" \
  -draw "circle 278,200 278,146" -draw "roundrectangle 52,176 332,272 48,48" \
  -fill '#b5d8f6' -draw "roundrectangle 96,214 276,224 5,5" \
  -draw "roundrectangle 96,240 236,250 5,5" \
  "$work/cloud.png"

# Update badge: a green disc with a white arrow pointing up.
convert -size ${S}x${S} xc:none \
  -fill '#00602a' -draw "circle 288,288 288,196" \
  -fill '#2ca840' -draw "circle 288,288 288,206" \
  -fill white -draw "polygon 288,222 346,282 310,282 310,348 266,348 266,282 230,282" \
  "$work/badge.png"

# A darker rim keeps the tile's pale lower edge apart from light backgrounds.
convert "$work/tile.png" \
  -fill none -stroke '#2a62a6' -strokewidth 10 -draw "roundrectangle 13,13 370,370 68,68" \
  "$work/cloud.png" -composite "$work/badge.png" -composite "$work/icon_big.png"
for s in 48 32; do
  convert "$work/icon_big.png" -filter Lanczos -resize ${s}x${s} "$work/icon_$s.png"
done
# 16 px is drawn pixel by pixel; magenta marks its transparent corners.
python3 "$here/pixels.py" icon16 "$work/icon_16.bmp"
convert "$work/icon_16.bmp" -transparent '#ff00ff' PNG32:"$work/icon_16.png"
convert "$work/icon_16.png" "$work/icon_32.png" "$work/icon_48.png" \
  "$here/SoranoteUpdater.ico"

# ---- check --------------------------------------------------------------------
python3 "$here/pixels.py" check "$here"
