#!/usr/bin/env bash
# Draws the window's images with ImageMagick into images/: the two 87 x 24
# button faces (released: a grey rounded bar; pressed: a blue one), the
# 251 x 162 picture of the logger and the 32 x 32 window icon (16 colours).
# Run it again after changing a drawing; the results are committed.
set -euo pipefail
cd "$(dirname "$0")/images"

font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
form='#efefef'   # the window's background, behind the rounded corners
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A rounded bar with a vertical gradient, a thin rim and a soft highlight.
button_face() {  # top-colour bottom-colour rim-colour output
  convert -size 87x24 "gradient:$1-$2" \
    \( -size 87x24 xc:black -fill white -draw 'roundrectangle 0,0 86,23 9,9' \) \
    -alpha off -compose CopyOpacity -composite \
    -compose Over -background "$form" -flatten \
    -fill none -stroke 'rgba(255,255,255,0.55)' -strokewidth 1 -draw 'roundrectangle 1.5,1.5 85.5,22.5 8,8' \
    -stroke "$3" -draw 'roundrectangle 0.5,0.5 86.5,23.5 9,9' \
    -strip -quality 95 "$4"
}
button_face '#fafafa' '#c9c9c9' '#8e8e8e' button_released.jpg
button_face '#b9d6f8' '#5b95de' '#2f64ad' button_pressed.jpg

# The logger: a graphite body with a status window, three lamps, the mark
# button, the name and a strap loop, lying on a light table.
convert -size 251x162 gradient:'#f7f9fb-#d3d9e1' \
  -fill none -stroke '#8b929c' -strokewidth 3 -draw 'roundrectangle 36,66 60,90 9,9' "$work/table.png"
convert -size 251x162 xc:none -fill 'rgba(20,30,45,0.55)' -draw 'roundrectangle 56,44 206,140 24,24' \
  -blur 0x7 "$work/shadow.png"
convert -size 251x162 xc:none \
  \( -size 150x96 gradient:'#5b616b-#1d2024' \) -geometry +50+30 -compose Over -composite \
  \( -size 251x162 xc:black -fill white -draw 'roundrectangle 50,30 199,125 24,24' \) \
  -alpha off -compose CopyOpacity -composite "$work/body.png"
convert "$work/table.png" "$work/shadow.png" -compose Over -composite "$work/body.png" -composite \
  -fill none -strokewidth 1 \
  -stroke 'rgba(255,255,255,0.35)' -draw 'roundrectangle 51.5,31.5 197.5,123.5 23,23' \
  -stroke '#15171a' -draw 'roundrectangle 50.5,30.5 198.5,124.5 24,24' \
  -stroke none -fill 'rgba(255,255,255,0.10)' -draw 'roundrectangle 56,34 193,62 18,12' \
  -fill '#0f1114' -draw 'roundrectangle 64,48 138,72 5,5' \
  -fill '#1c3b2e' -draw 'roundrectangle 66,50 136,70 4,4' \
  -fill '#7fe0a8' -font "$font" -pointsize 9 -draw "text 71,64 'GPS  FIX'" \
  -fill 'rgba(90,170,255,0.35)' -draw 'circle 76,88 82,88' -fill '#4aa8ff' -draw 'circle 76,88 79,88' \
  -fill 'rgba(90,230,120,0.35)' -draw 'circle 94,88 100,88' -fill '#4fe07a' -draw 'circle 94,88 97,88' \
  -fill 'rgba(255,180,60,0.35)' -draw 'circle 112,88 118,88' -fill '#ffb23c' -draw 'circle 112,88 115,88' \
  -fill '#2a2e34' -stroke '#0d0f12' -draw 'circle 170,78 186,78' \
  -stroke none -fill '#e8742c' -draw 'circle 170,78 181,78' \
  -fill 'rgba(255,255,255,0.35)' -draw 'ellipse 167,73 6,3 0,360' \
  -fill '#c9ced6' -font "$font" -pointsize 11 -draw "text 66,114 'TRK-7700'" \
  -fill '#0b0c0e' -draw 'roundrectangle 110,121 140,125 1,1' \
  -strip -quality 92 device_photo.jpg

# The icon: the logger's mark button on a graphite tile.
convert -size 32x32 xc:none \
  -fill '#30353c' -draw 'roundrectangle 1,1 30,30 7,7' \
  -fill '#e8742c' -draw 'circle 16,16 16,6' \
  -fill '#ffffff' -draw 'circle 16,16 16,12' \
  -fill '#4aa8ff' -draw 'circle 25,7 25,5' \
  -strip -colors 16 PNG8:icon.png

# The same icon large, for menus and software centres: a scalable drawing
# (256 units square) and pictures of it at 48, 128 and 256 pixels, drawn at
# 1024 and scaled down so that the edges are smooth.
cat >icon.svg <<'SVG'
<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <rect x="8" y="8" width="240" height="240" rx="56" ry="56" fill="#30353c"/>
  <circle cx="128" cy="128" r="80" fill="#e8742c"/>
  <circle cx="128" cy="128" r="32" fill="#ffffff"/>
  <circle cx="200" cy="56" r="16" fill="#4aa8ff"/>
</svg>
SVG
convert -size 1024x1024 xc:none \
  -fill '#30353c' -draw 'roundrectangle 32,32 991,991 224,224' \
  -fill '#e8742c' -draw 'circle 512,512 512,192' \
  -fill '#ffffff' -draw 'circle 512,512 512,384' \
  -fill '#4aa8ff' -draw 'circle 800,224 800,160' \
  "$work/icon-1024.png"
for size in 48 128 256; do
  convert "$work/icon-1024.png" -filter Lanczos -resize ${size}x$size -strip "icon-$size.png"
done
