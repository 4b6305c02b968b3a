#!/usr/bin/env bash
# TIFF output speed and size: `tavmor convert` writing LZW without and with the predictor and
# Deflate with the predictor (strips encoded on every core) from the 30000 x 20000 8-bit RGB TIFF of convert_bench.sh, against `vips tiffsave`
# and `gdal_translate` doing the same work; then a 40000 x 33000 noise image to LZW, which
# must come out as a BigTIFF (about 9 GB of disk).
# Usage: bench/tiffout_bench.sh [--keep-input] [--reps N] [--warm]
# Environment: TAVMOR_BUILD=DIR, a Release build (default: build/).
set -uo pipefail
# shellcheck source-path=SCRIPTDIR
. "$(dirname "$0")/common.sh"
bench_parse_args "$@"
for p in "$TAVMOR" gdal_translate; do
    if [ ! -x "$p" ] && ! command -v "$p" >/dev/null; then
        echo "Missing $p (build: target tavmor; Debian: apt-get install gdal-bin libvips-tools)" >&2
        exit 1
    fi
done
# Inputs 1.8 GB and 4 GB; the noise output reaches about 5.5 GB, the vips attempt as much.
bench_setup tiffout 20

input="$BENCH_WORK/pano.tif"
bench_input "$input" 30000 20000 --bits 8 --channels 3 --pattern panorama
bytes=$(stat -c %s "$input")
out="$BENCH_WORK/out"
SIZES="$BENCH_WORK/tiffout.sizes"
: >"$SIZES"

# sized LABEL FILE COMMAND...: bench_run, then records the size of FILE (under $out).
sized() {
    local label="$1" file="$2"
    shift 2
    if BENCH_KEEP_OUTPUT=1 bench_run "$label" "$bytes" "$out" "$@"; then
        printf '%s\t%s\n' "$label" "$(stat -c %s "$out/$file")" >>"$SIZES"
    fi
    rm -rf "$out"
}

GDAL=(gdal_translate -q -of GTiff -co NUM_THREADS=ALL_CPUS)

runs() {
    sized "convert lzw" o.tif "$TAVMOR" convert "$input" -o "$out/o.tif" --format tif-lzw --quiet
    sized "convert lzw, 1 thread" o.tif \
        "$TAVMOR" convert "$input" -o "$out/o.tif" --format tif-lzw --threads 1 --quiet
    sized "vips lzw" o.tif vips tiffsave "$input" "$out/o.tif" --compression lzw \
        --predictor none
    sized "convert lzw predictor" o.tif \
        "$TAVMOR" convert "$input" -o "$out/o.tif" --format tif-lzw --predictor --quiet
    sized "vips lzw predictor" o.tif vips tiffsave "$input" "$out/o.tif" --compression lzw \
        --predictor horizontal
    sized "gdal lzw predictor" o.tif \
        "${GDAL[@]}" -co COMPRESS=LZW -co PREDICTOR=2 "$input" "$out/o.tif"
    sized "convert deflate predictor" o.tif \
        "$TAVMOR" convert "$input" -o "$out/o.tif" --format tif-deflate --predictor --quiet
    sized "convert deflate predictor, 16 rows" o.tif \
        "$TAVMOR" convert "$input" -o "$out/o.tif" --format tif-deflate --predictor \
        --strip-rows 16 --quiet
    sized "vips deflate predictor" o.tif vips tiffsave "$input" "$out/o.tif" \
        --compression deflate --predictor horizontal
    sized "gdal deflate predictor" o.tif \
        "${GDAL[@]}" -co COMPRESS=DEFLATE -co PREDICTOR=2 "$input" "$out/o.tif"
}
bench_rounds runs

bench_table
echo
echo "| Output | Bytes | Of the input |"
echo "|---|---:|---:|"
awk -F'\t' -v input="$bytes" '!($1 in seen) { seen[$1] = 1;
    printf "| %s | %s | %.3f |\n", $1, $2, $2 / input }' "$SIZES"
bench_ratio_header
bench_ratio "lzw / vips" "convert lzw" "vips lzw" 0.55
bench_ratio "lzw, 1 thread / vips" "convert lzw, 1 thread" "vips lzw" -
bench_ratio "lzw predictor / vips" "convert lzw predictor" "vips lzw predictor" 0.55
bench_ratio "lzw predictor / gdal" "convert lzw predictor" "gdal lzw predictor" 1.0
bench_ratio "deflate predictor / vips" "convert deflate predictor" "vips deflate predictor" 0.55
bench_ratio "deflate predictor / gdal" "convert deflate predictor" "gdal deflate predictor" 1.0
bench_cleanup_input "$input"

# The image that failed as a classic LZW TIFF: 3.96 GB of noise grows past 4 GiB under LZW.
noise="$BENCH_WORK/noise.tif"
bench_input "$noise" 40000 33000 --bits 8 --channels 3 --pattern noise --bigtiff
bytes=$(stat -c %s "$noise")
: >"$BENCH_RESULTS"
: >"$SIZES"
sized "convert lzw, noise 40000x33000" noise.big.tif \
    "$TAVMOR" convert "$noise" --out "$out" --format tif-lzw --quiet
sized "vips lzw, noise 40000x33000" o.tif vips tiffsave "$noise" "$out/o.tif" --compression lzw \
    --predictor none
bench_table
echo
awk -F'\t' '{ printf "%s: %s bytes\n", $1, $2 }' "$SIZES"
bench_cleanup_input "$noise"
rm -rf "$out"
