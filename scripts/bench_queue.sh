#!/usr/bin/env bash
# Times `zelvanto-cli queue` on a batch: a queue of four distributions over 16 pictures of
# 320 x 240 (windows cut from samples/coffee.jpg), for each engine one picture after the other
# (engine on one thread, and on every core) against --jobs 2 (two pictures at once, each
# engine on one thread). Every run starts without .ft files, so each picture is transformed
# once and its four entries start from its spectrum. Prints one line per run and checks that
# the runs wrote the same files.
# Usage: scripts/bench_queue.sh [BUILD_DIR]   (ENGINES="fft" to time one engine only)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
cli="$build/src/cli/zelvanto-cli"
[ -x "$cli" ] || "$root/scripts/build.sh" "$build" >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/pics"
for i in $(seq 0 15); do
    x=$(((i % 4) * 90))
    y=$(((i / 4) * 50))
    convert "$root/samples/coffee.jpg" -crop "320x240+$x+$y" +repage -type TrueColor \
        "BMP3:$work/pics/p$i.bmp"
done
entries=(--entry r1=1/r:2 --entry r2=1/r2:1.5 --entry e=1/e:4 --entry c=constant)

echo "Machine: $(lscpu | sed -n 's/^Model name:[[:space:]]*//p' | head -n 1), $(nproc) hardware threads"
echo "Load before: $(cut -d' ' -f1-3 /proc/loadavg)"
declare -A seconds
run() {
    local name="$1"
    shift
    rm -f "$work"/pics/*.ft "$work"/pics/p*r1.bmp "$work"/pics/p*r2.bmp "$work"/pics/p*e.bmp \
        "$work"/pics/p*c.bmp
    local start end
    start=$(date +%s.%N)
    (cd "$work/pics" && "$cli" queue p*.bmp "${entries[@]}" --format bmp "$@" >/dev/null)
    end=$(date +%s.%N)
    seconds[$name]=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", b - a }')
    mkdir -p "$work/out/$name"
    cp "$work"/pics/p*r1.bmp "$work"/pics/p*r2.bmp "$work"/pics/p*e.bmp "$work"/pics/p*c.bmp \
        "$work/out/$name/"
    printf "%-34s %8s s\n" "$name" "${seconds[$name]}"
}

for engine in ${ENGINES:-projection fft}; do
    run "$engine serial, 1 thread" --engine "$engine" --jobs 1 --threads 1
    run "$engine serial, every core" --engine "$engine" --jobs 1
    run "$engine --jobs 2" --engine "$engine" --jobs 2
    for other in "$engine serial, every core" "$engine --jobs 2"; do
        if ! diff -rq "$work/out/$engine serial, 1 thread" "$work/out/$other" >/dev/null; then
            echo "  files of \"$other\" differ from the serial run"
        fi
    done
    awk -v a="${seconds[$engine serial, 1 thread]}" -v b="${seconds[$engine serial, every core]}" \
        -v c="${seconds[$engine --jobs 2]}" -v e="$engine" 'BEGIN {
            printf "  %s: --jobs 2 is %.2fx serial on 1 thread, %.2fx serial on every core\n",
                e, a / c, b / c }'
done
echo "Load after: $(cut -d' ' -f1-3 /proc/loadavg)"
