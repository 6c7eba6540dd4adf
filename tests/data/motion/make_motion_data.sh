#!/usr/bin/env bash
# Writes the motion-blur pictures of the kernel tests with ImageMagick: one bright pixel on
# black, 48 x 48, blurred by -motion-blur 0x4+ANGLE (ImageMagick's angle turns clockwise as
# seen on screen, and its blur runs from the pixel to one side only).
set -euo pipefail
cd "$(dirname "$0")"
for angle in 30 110; do
    convert -size 48x48 xc:black -fill white -draw "point 24,24" \
        -motion-blur "0x4+$angle" -depth 8 "PNG24:im_motion_$angle.png"
done
