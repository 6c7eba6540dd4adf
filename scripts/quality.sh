#!/usr/bin/env bash
# The restoration quality set (scripts/quality.py): the bundled photographs blurred by camera
# shakes, Gaussians and discs, with and without noise, wrapping around the edges or not, each
# restored with its true kernel by zelvanto-cli and by scikit-image; a Markdown table on
# stdout and every figure in a CSV. At most 2 cases run at once.
#
# Usage: scripts/quality.sh [--quick] [--cases] [--csv FILE] [--build DIR] [--bench]
#   --quick   four cases (under 2 minutes); the full set otherwise
#   --cases   print every case as well as the summary
#   --csv     where every figure goes (default BUILD_DIR/quality.csv)
#   --build   build folder of zelvanto-cli (default build)
#   --bench   then the program's own blur table (bench/restore_quality.cpp) and the
#             restoration benchmarks, built in build-bench
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
csv=""
bench=0
args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --quick | --cases) args+=("$1") ;;
        --csv) csv="$2"; shift ;;
        --build) build="$2"; shift ;;
        --bench) bench=1 ;;
        *) echo "quality.sh: unknown argument $1" >&2; exit 2 ;;
    esac
    shift
done

python=/usr/bin/python3
if ! "$python" -c 'import numpy, scipy, skimage, PIL' 2>/dev/null; then
    echo "quality.sh needs $python with numpy, scipy, scikit-image and PIL" \
        "(python3-numpy python3-scipy python3-skimage python3-pil)" >&2
    exit 1
fi
if ! command -v convert >/dev/null 2>&1; then
    echo "quality.sh needs ImageMagick's convert (imagemagick)" >&2
    exit 1
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
    "$root/scripts/build.sh" "$build" >/dev/null
else
    cmake --build "$build" -j2 --target zelvanto-cli >/dev/null
fi
"$python" "$root/scripts/quality.py" --cli "$build/src/cli/zelvanto-cli" --jobs 2 \
    --csv "${csv:-$build/quality.csv}" "${args[@]}"

if [ "$bench" = 1 ]; then
    echo
    "$root/scripts/build.sh" "$root/build-bench" -DZELVANTO_BUILD_BENCH=ON >/dev/null
    "$root/build-bench/bench/zelvanto_restore_quality" "$root/samples"
    echo
    "$root/build-bench/bench/zelvanto_restore_bench" --benchmark_format=console 2>/dev/null |
        grep -E '^(BM_|Benchmark|-)'
fi
