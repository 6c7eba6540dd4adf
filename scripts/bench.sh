#!/usr/bin/env bash
# Builds the Fourier benchmarks and prints one table: for each picture size the forward
# and inverse times of the projection engine (every hardware thread, and one thread), of
# the plain serial loops where they finish in reasonable time, and of the FFT engine,
# with the speed-ups and each case's peak resident memory. Every case runs in its own
# process, one after the other, so the times of one table come from one run on one machine.
# Usage: scripts/bench.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-bench}"

"$root/scripts/build.sh" "$build" -DZELVANTO_BUILD_BENCH=ON >/dev/null
bench="$build/bench/zelvanto_fourier_bench"

# One case: prints "milliseconds peakMiB" (or "- -" when the case does not exist).
run() {
    local out
    out="$("$bench" --benchmark_filter="^$1(/|$)" --benchmark_format=csv 2>/dev/null || true)"
    # name,iterations,real_time,cpu_time,time_unit,... with the peak memory as a counter.
    awk -F, -v name="\"$1" '
        /^name,/ { for (i = 1; i <= NF; ++i) if ($i ~ /peak_MiB/) m = i }
        index($0, name) == 1 && !done { printf "%.1f %.0f\n", $3, $m; done = 1 }
        END { if (!done) print "- -" }' <<<"$out"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.1fx", a / b }'; }

echo "Machine: $(lscpu | sed -n 's/^Model name:[[:space:]]*//p' | head -n 1), $(nproc) hardware threads"
echo "Times in ms (forward / inverse), peak resident MiB in brackets."
printf "%-10s %-22s %-22s %-22s %-22s %-16s %-16s\n" size projection projection-1-thread \
    serial-loops fft speed-up-vs-serial fft-vs-projection
for size in 160x120 320x240 640x480 4096x2048; do
    cells=()
    declare -A t=()
    for engine in projection projection1 serial fft; do
        for dir in forward inverse; do
            read -r ms mib < <(run "${engine}_${dir}/${size}")
            t["${engine}_${dir}"]="$ms"
            t["${engine}_${dir}_mib"]="$mib"
        done
        cells+=("${t[${engine}_forward]} / ${t[${engine}_inverse]} [${t[${engine}_forward_mib]}]")
    done
    total() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-") print "-"; else print a + b }'; }
    proj="$(total "${t[projection_forward]}" "${t[projection_inverse]}")"
    serial="$(total "${t[serial_forward]}" "${t[serial_inverse]}")"
    fft="$(total "${t[fft_forward]}" "${t[fft_inverse]}")"
    printf "%-10s %-22s %-22s %-22s %-22s %-16s %-16s\n" "$size" "${cells[0]}" "${cells[1]}" \
        "${cells[2]}" "${cells[3]}" "$(ratio "$serial" "$proj")" "$(ratio "$proj" "$fft")"
    unset t
done

echo
echo "FFT engine, complete run (forward, distribution, normalise, inverse, bytes) against"
echo "the six bare FFTW transforms it performs:"
for size in 640x480 4096x2048; do
    read -r runMs _ < <(run "fft_run/${size}")
    read -r bareMs _ < <(run "fft_bare/${size}")
    echo "  $size: run $runMs ms, bare transforms $bareMs ms, ratio $(ratio "$runMs" "$bareMs")"
done
