#!/usr/bin/env bash
# Renders the program's pictures from their SVG sources in src/app/images/svg into the PNG files
# shipped as resources: each icon in a normal and a brighter hover variant, the title picture
# as a 24-bit 473 x 276 image, and the 48 x 48 program icon. Needs ImageMagick; run it after
# editing an SVG and commit the PNGs.
set -euo pipefail
cd "$(dirname "$0")/../src/app/images"

convert=/usr/bin/convert
for svg in svg/*.svg; do
    name=$(basename "$svg" .svg)
    case "$name" in
    title)
        "$convert" -background '#12315e' "$svg" -flatten -type TrueColor -depth 8 -strip title.png
        continue
        ;;
    orvanel)
        "$convert" -background none "$svg" -depth 8 -strip orvanel.png
        continue
        ;;
    esac
    "$convert" -background none "$svg" -depth 8 -strip -modulate 100,75 "$name.png"
    "$convert" -background none "$svg" -depth 8 -strip -modulate 112,135 "${name}_hot.png"
done
