#!/usr/bin/env bash
# Renders the program's pictures from their SVG sources in src/app/images/svg into the PNG files
# shipped as resources: each icon in a normal and a brighter hover variant, and the title picture
# as a 24-bit 473 x 276 image. Needs ImageMagick; run it after editing an SVG and commit the PNGs.
set -euo pipefail
cd "$(dirname "$0")/../src/app/images"

convert=/usr/bin/convert
for svg in svg/*.svg; do
    name=$(basename "$svg" .svg)
    if [ "$name" = title ]; then
        "$convert" -background '#12315e' "$svg" -flatten -type TrueColor -depth 8 title.png
        continue
    fi
    "$convert" -background none "$svg" -depth 8 -modulate 100,75 "$name.png"
    "$convert" -background none "$svg" -depth 8 -modulate 112,135 "${name}_hot.png"
done
