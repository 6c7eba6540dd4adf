#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for SECONDS (default
# 30), starting from the committed seeds in fuzz/corpus/<target>/. Fails on any finding;
# the input that caused it is left in build-fuzz/findings/<target>/.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-30}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then targets=(bmp jpg png ft stp clipboard document); fi

build="$root/build-fuzz"
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" "${generator[@]}" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELVANTO_BUILD_FUZZ=ON \
        -DZELVANTO_BUILD_TESTS=OFF -DZELVANTO_BUILD_DESKTOP=OFF
fi
cmake --build "$build" --parallel "$(nproc)" --target $(printf 'fuzz_%s ' "${targets[@]}")

status=0
for target in "${targets[@]}"; do
    work="$build/corpus/$target"      # what the run adds; the committed seeds stay as they are
    findings="$build/findings/$target"
    mkdir -p "$work" "$findings"
    echo "== fuzz_$target for $seconds s"
    if ! ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
        -max_len=65536 -timeout=20 -rss_limit_mb=2560 -artifact_prefix="$findings/" \
        "$work" "$root/fuzz/corpus/$target" 2>"$build/fuzz_$target.log"; then
        echo "fuzz_$target found a fault; see $build/fuzz_$target.log and $findings/" >&2
        tail -n 40 "$build/fuzz_$target.log" >&2
        status=1
    fi
    grep -E '^stat::number_of_executed_units|^Done ' "$build/fuzz_$target.log" || true
done
exit $status
