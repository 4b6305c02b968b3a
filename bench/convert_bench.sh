#!/usr/bin/env bash
# Convert and crop speed: `tavmor convert` to RAW, KRO and LZW TIFF and `tavmor crop` of a
# 10000 x 10000 rectangle from a 30000 x 20000 8-bit RGB TIFF, against the same work by vips
# and against `cp` of the input as the floor. Usage: bench/convert_bench.sh [--keep-input] ...
set -uo pipefail
# shellcheck source-path=SCRIPTDIR
. "$(dirname "$0")/common.sh"
bench_parse_args "$@"
# Input 1.8 GB plus the largest output (KRO, 2.4 GB), with room to spare.
bench_setup convert 8

input="$BENCH_WORK/pano.tif"
bench_input "$input" 30000 20000 --bits 8 --channels 3 --pattern panorama
bytes=$(stat -c %s "$input")
out="$BENCH_WORK/out"

runs() {
    bench_run "cp (floor)" "$bytes" "$out" cp "$input" "$out/copy.tif"
    # cp copies inside the kernel (copy_file_range); dd is the floor for a program that reads
    # into its own memory and writes from there.
    bench_run "dd bs=1M (user-space copy)" "$bytes" "$out" \
        dd if="$input" of="$out/copy.tif" bs=1M status=none
    if bench_has_command convert; then
        bench_run "tavmor convert raw" "$bytes" "$out" \
            "$TAVMOR" convert "$input" --format raw --out "$out" --yes --quiet
    fi
    bench_run "vips rawsave" "$bytes" "$out" vips rawsave "$input" "$out/pano.raw"
    if bench_has_command convert; then
        bench_run "tavmor convert tif-lzw" "$bytes" "$out" \
            "$TAVMOR" convert "$input" --format tif-lzw --out "$out" --yes --quiet
    fi
    bench_run "vips tiffsave lzw" "$bytes" "$out" \
        vips tiffsave "$input" "$out/pano.tif" --compression lzw
    if bench_has_command convert; then
        bench_run "tavmor convert kro" "$bytes" "$out" \
            "$TAVMOR" convert "$input" --format kro --out "$out" --yes --quiet
    fi
    if bench_has_command crop; then
        bench_run "tavmor crop 10000x10000" "$bytes" "$out" \
            "$TAVMOR" crop "$input" --x 10000 --y 5000 --width 10000 --height 10000 --format tif \
            --out "$out" --yes --quiet
    fi
    bench_run "vips extract_area 10000x10000" "$bytes" "$out" \
        vips extract_area "$input" "$out/crop.tif" 10000 5000 10000 10000
}
bench_rounds runs

bench_table
bench_ratio_header
bench_ratio "convert raw / vips rawsave" "tavmor convert raw" "vips rawsave" 1.0
bench_ratio "convert raw / cp" "tavmor convert raw" "cp (floor)" 1.5
bench_ratio "convert raw / dd bs=1M" "tavmor convert raw" "dd bs=1M (user-space copy)" -
bench_ratio "convert tif-lzw / vips tiffsave lzw" "tavmor convert tif-lzw" "vips tiffsave lzw" 1.0
bench_ratio "crop / vips extract_area" "tavmor crop 10000x10000" "vips extract_area 10000x10000" 1.0

bench_cleanup_input "$input"
rm -rf "$out"
