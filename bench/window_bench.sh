#!/usr/bin/env bash
# Responsiveness without slowness: a Convert run from the window (shown on Qt's offscreen
# platform, progress panel, gauge and status line painted) against the same `tavmor convert`
# on the 30000 x 20000 8-bit RGB TIFF of convert_bench.sh (shared with --keep-input). Goal: the
# window takes at most 5 % longer, its start-up included.
# Usage: bench/window_bench.sh [--keep-input] [--reps N] [--warm]
set -uo pipefail
. "$(dirname "$0")/common.sh"
bench_parse_args "$@"
WINDOW="$BENCH_BUILD/app/tavmor-window-convert"
if [ ! -x "$WINDOW" ]; then
    echo "Missing $WINDOW (build: cmake --build $BENCH_BUILD --target tavmor-window-convert)" >&2
    exit 1
fi
# Input 1.8 GB, outputs up to 1.8 GB.
bench_setup window 5

input="$BENCH_WORK/pano.tif"
bench_input "$input" 30000 20000 --bits 8 --channels 3 --pattern panorama
bytes=$(stat -c %s "$input")
out="$BENCH_WORK/out"
export QT_QPA_PLATFORM=offscreen

runs() {
    for format in raw tif; do
        bench_run "tavmor convert $format" "$bytes" "$out" \
            "$TAVMOR" convert "$input" --format "$format" --out "$out" --yes --quiet
        bench_run "window convert $format" "$bytes" "$out" "$WINDOW" "$input" "$format" "$out"
    done
}
bench_rounds runs

bench_table
bench_ratio_header
bench_ratio "window / command line, raw" "window convert raw" "tavmor convert raw" 1.05
bench_ratio "window / command line, tif" "window convert tif" "tavmor convert tif" 1.05

bench_cleanup_input "$input"
rm -rf "$out"
