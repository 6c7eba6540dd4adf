#!/usr/bin/env bash
# The main job on the bundled sample photograph: read it, fit it, transform it exactly
# into its spectrum, write the ".ft" file, transform back, write the picture again and
# check that every byte came back.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"

cli="$root/build/src/cli/zelvanto-cli"
picture="$root/samples/coffee_160x120.bmp"
out="$root/build/demo"
mkdir -p "$out"

echo "== zelvanto-cli transform $(basename "$picture")"
"$cli" transform "$picture" "$out/coffee_160x120.ft"
echo "== zelvanto-cli inverse"
"$cli" inverse "$out/coffee_160x120.ft" "$out/coffee_160x120_back.bmp"
if cmp -s "$picture" "$out/coffee_160x120_back.bmp"; then
    echo "Round trip: every byte of the picture came back."
else
    echo "Round trip: the picture differs from the original." >&2
    exit 1
fi
