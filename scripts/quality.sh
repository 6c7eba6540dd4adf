#!/usr/bin/env bash
# Builds the restoration tools and prints the quality table (PSNR of every method on the
# sample photographs, see bench/restore_quality.cpp), then the restoration benchmarks.
# Usage: scripts/quality.sh [BUILD_DIR] [--no-bench]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-bench}"

"$root/scripts/build.sh" "$build" -DZELVANTO_BUILD_BENCH=ON >/dev/null
"$build/bench/zelvanto_restore_quality" "$root/samples"
if [ "${2:-}" != "--no-bench" ]; then
    echo
    "$build/bench/zelvanto_restore_bench" --benchmark_format=console 2>/dev/null |
        grep -E '^(BM_|Benchmark|-)'
fi
