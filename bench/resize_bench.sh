#!/usr/bin/env bash
# Resize speed and memory: `tavmor resize` of a 30000 x 20000 RGB TIFF to width 5000, slow
# (Lanczos) and fast (nearest), against `vips resize` to the same width with the lanczos3 kernel
# (its default, with its shrink-on-load gap of 2), with lanczos3 and --gap 0 (exact Lanczos-3 in
# one pass) and with the nearest kernel. Commands alternate within each round; the tables give
# the fastest run and the median of the rounds.
# Usage: bench/resize_bench.sh [--keep-input] [--reps N] [--warm]
# Environment: RESIZE_BITS=8|16 (default 8), RESIZE_SIZE=WxH (default 30000x20000; the target
# width stays a sixth of the width), RESIZE_TOOLS="tavmor vips" (either alone skips the other).
set -uo pipefail
# shellcheck source-path=SCRIPTDIR
. "$(dirname "$0")/common.sh"
bench_parse_args "$@"

bits="${RESIZE_BITS:-8}"
size="${RESIZE_SIZE:-30000x20000}"
tools="${RESIZE_TOOLS:-tavmor vips}"
width="${size%x*}"
height="${size#*x}"
target=$((width / 6))
# The input plus the resize's intermediate (a quarter of it), and room to spare.
need_gb=$((width * height * 9 * bits / 16 / 1000000000 + 2))
bench_setup resize "$need_gb"
echo "# ${width} x ${height}, ${bits}-bit RGB, to width ${target}"

# The default input is the one the other scripts share.
input="$BENCH_WORK/pano_${width}x${height}_${bits}.tif"
[ "$size/$bits" != 30000x20000/8 ] || input="$BENCH_WORK/pano.tif"
big=()
# Past about 4 GB of samples only BigTIFF can hold the input.
[ $((width * height * 3 * bits / 8)) -lt 4000000000 ] || big=(--bigtiff)
bench_input "$input" "$width" "$height" --bits "$bits" --channels 3 --pattern panorama "${big[@]}"
bytes=$(stat -c %s "$input")
out="$BENCH_WORK/out"
scale=$(bench_calc "$target / $width")

uses() {
    [[ " $tools " == *" $1 "* ]]
}

runs() {
    if uses tavmor && bench_has_command resize; then
        bench_run "tavmor resize (slow)" "$bytes" "$out" \
            "$TAVMOR" resize "$input" --width "$target" --format tif --out "$out" --yes --quiet
    fi
    if uses vips; then
        bench_run "vips resize lanczos3" "$bytes" "$out" \
            vips resize "$input" "$out/pano.tif" "$scale" --kernel lanczos3
        bench_run "vips resize lanczos3 --gap 0" "$bytes" "$out" \
            vips resize "$input" "$out/pano.tif" "$scale" --kernel lanczos3 --gap 0
    fi
    if uses tavmor && bench_has_command resize; then
        bench_run "tavmor resize (fast)" "$bytes" "$out" \
            "$TAVMOR" resize "$input" --width "$target" --fast --format tif --out "$out" --yes \
            --quiet
    fi
    if uses vips; then
        bench_run "vips resize nearest" "$bytes" "$out" \
            vips resize "$input" "$out/pano.tif" "$scale" --kernel nearest
    fi
}
bench_rounds runs

bench_table
bench_median_table
bench_ratio_header
bench_median_ratio "slow / vips lanczos3 (medians)" "tavmor resize (slow)" \
    "vips resize lanczos3" 0.8
bench_median_ratio "slow / vips lanczos3 --gap 0 (medians)" "tavmor resize (slow)" \
    "vips resize lanczos3 --gap 0" 1.0
bench_median_ratio "fast / vips nearest (medians)" "tavmor resize (fast)" \
    "vips resize nearest" 0.6

bench_cleanup_input "$input"
rm -rf "$out"
