#!/usr/bin/env bash
# The main job on the bundled sample photograph, as the desktop's typical road: open it,
# run "1/R Distribution" with parameter 2 (the picture is transformed once and its
# untouched spectrum kept in a ".ft" file beside it), save the result and print the
# elapsed times. A second run starts from the kept spectrum and gives the same picture.
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
