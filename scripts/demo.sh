#!/usr/bin/env bash
# The main job on the bundled sample photograph, as the desktop's typical road: open it,
# run "1/R Distribution" with parameter 2 (the picture is transformed once and its
# untouched spectrum kept in a ".ft" file beside it), save the result and print the
# elapsed times. A second run starts from the kept spectrum and gives the same picture.
# Then the repair: a bundled photograph blurred by a known camera shake with noise, its edges
# not wrapping around, restored with the default settings, and its PSNR before and after.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"

cli="$root/build/src/cli/zelvanto-cli"
out="$root/build/demo"
mkdir -p "$out"
# Work on a copy: the spectrum file lands beside the picture.
cp "$root/samples/coffee_160x120.bmp" "$out/coffee_160x120.bmp"
rm -f "$out/coffee_160x120.ft"

echo "== zelvanto-cli fourier coffee_160x120.bmp --kind 1/r --param 2"
"$cli" fourier "$out/coffee_160x120.bmp" --kind 1/r --param 2 -o "$out/coffee_160x120_1r.bmp" --no
echo "== the same again, starting from the kept spectrum"
"$cli" fourier "$out/coffee_160x120.bmp" --kind 1/r --param 2 -o "$out/coffee_160x120_1r_again.bmp" --no
if cmp -s "$out/coffee_160x120_1r.bmp" "$out/coffee_160x120_1r_again.bmp"; then
    echo "Both runs gave the same picture: $out/coffee_160x120_1r.bmp"
else
    echo "The two runs gave different pictures." >&2
    exit 1
fi

echo "== how far the weakest frequency of the kept spectrum lies below the strongest"
"$cli" ratio "$out/coffee_160x120.bmp"
echo "== the 1/R result against the photograph (127 where they agree), and finished"
"$cli" compare "$out/coffee_160x120_1r.bmp" --reference "$out/coffee_160x120.bmp" \
    -o "$out/coffee_160x120_compare.bmp"
"$cli" colour "$out/coffee_160x120_1r.bmp" --light 5 --contrast 120 --gamma 55 \
    -o "$out/coffee_160x120_finished.bmp"

# The repair: a bundled photograph blurred as a camera does (a 31 px camera shake, 1 % noise,
# the edges not wrapping around), then restored with its kernel and the default settings.
echo "== the repair: coffee_512x384.jpg blurred by a 31 px camera shake with 1 % noise"
python=/usr/bin/python3
if [ ! -x "$python" ] || ! "$python" -c 'import numpy, PIL' 2>/dev/null; then
    echo "Skipped: the repair needs /usr/bin/python3 with numpy and PIL" \
        "(python3-numpy python3-pil)." >&2
    exit 0
fi
"$python" "$root/scripts/blur_photo.py" "$root/samples/coffee_512x384.jpg" \
    "$out/coffee_shaken.png" --shake 31 --seed 4 --noise 1 \
    --kernel-out "$out/coffee_shake.stp" --sharp-out "$out/coffee_sharp.png"
"$cli" restore "$out/coffee_shaken.png" --kernel "$out/coffee_shake.stp" \
    -o "$out/coffee_repaired.png" --no-progress
echo "Blurred against the sharp photograph:  $("$python" "$root/scripts/psnr.py" \
    "$out/coffee_shaken.png" "$out/coffee_sharp.png" --band 31)"
echo "Restored against the sharp photograph: $("$python" "$root/scripts/psnr.py" \
    "$out/coffee_repaired.png" "$out/coffee_sharp.png" --band 31)"
