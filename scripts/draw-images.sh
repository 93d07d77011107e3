#!/usr/bin/env bash
# Renders the program's pictures from their SVG sources into the PNG files shipped as resources:
# the window's icons (src/window/images/svg), each in a normal and a brighter hover variant, and
# the program's title picture, a 24-bit 473 x 276 image, and 48 x 48 icon (src/app/images/svg).
# Needs ImageMagick; run it after editing an SVG and commit the PNGs.
set -euo pipefail
cd "$(dirname "$0")/../src"

convert=/usr/bin/convert
for svg in window/images/svg/*.svg app/images/svg/*.svg; do
    name=$(basename "$svg" .svg)
    out=$(dirname "$(dirname "$svg")")
    case "$name" in
    title)
        "$convert" -background '#12315e' "$svg" -flatten -type TrueColor -depth 8 -strip "$out/title.png"
        continue
        ;;
    orvanel)
        "$convert" -background none "$svg" -depth 8 -strip "$out/orvanel.png"
        continue
        ;;
    esac
    "$convert" -background none "$svg" -depth 8 -strip -modulate 100,75 "$out/$name.png"
    "$convert" -background none "$svg" -depth 8 -strip -modulate 112,135 "$out/${name}_hot.png"
done
