#!/usr/bin/env bash
# Resize speed and memory: `tavmor resize` of a 30000 x 20000 8-bit RGB TIFF to width 5000, slow
# (Lanczos) and fast (nearest), against `vips resize` to the same width with the lanczos3 and
# nearest kernels. Usage: bench/resize_bench.sh [--keep-input] ...
set -uo pipefail
# shellcheck source-path=SCRIPTDIR
. "$(dirname "$0")/common.sh"
bench_parse_args "$@"
# Input 1.8 GB plus the resize's intermediate images (smaller than the input).
bench_setup resize 6

input="$BENCH_WORK/pano.tif"
bench_input "$input" 30000 20000 --bits 8 --channels 3 --pattern panorama
bytes=$(stat -c %s "$input")
out="$BENCH_WORK/out"
scale=$(bench_calc "5000 / 30000")

runs() {
    if bench_has_command resize; then
        bench_run "tavmor resize 5000 (slow)" "$bytes" "$out" \
            "$TAVMOR" resize "$input" --width 5000 --format tif --out "$out" --yes --quiet
    fi
    bench_run "vips resize lanczos3" "$bytes" "$out" \
        vips resize "$input" "$out/pano.tif" "$scale" --kernel lanczos3
    if bench_has_command resize; then
        bench_run "tavmor resize 5000 (fast)" "$bytes" "$out" \
            "$TAVMOR" resize "$input" --width 5000 --fast --format tif --out "$out" --yes --quiet
    fi
    bench_run "vips resize nearest" "$bytes" "$out" \
        vips resize "$input" "$out/pano.tif" "$scale" --kernel nearest
}
bench_rounds runs

bench_table
bench_ratio_header
bench_ratio "resize slow / vips lanczos3" "tavmor resize 5000 (slow)" "vips resize lanczos3" -
bench_ratio "resize fast / vips nearest" "tavmor resize 5000 (fast)" "vips resize nearest" -

bench_cleanup_input "$input"
rm -rf "$out"
