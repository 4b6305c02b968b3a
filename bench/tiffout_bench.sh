#!/usr/bin/env bash
# TIFF output speed and size: the parallel strip writer (driven by tavmor-tiffout, which
# reads through the engine) writing LZW without and with the predictor and Deflate with the
# predictor from the 30000 x 20000 8-bit RGB TIFF of convert_bench.sh, against `vips tiffsave`
# and `gdal_translate` doing the same work; then a 40000 x 33000 noise image to LZW, which
# must come out as a BigTIFF (about 9 GB of disk).
# Usage: bench/tiffout_bench.sh [--keep-input] [--reps N] [--warm]
# Environment: TAVMOR_BUILD=DIR, a Release build configured with -DTAVMOR_BUILD_BENCH=ON.
set -uo pipefail
# shellcheck source-path=SCRIPTDIR
. "$(dirname "$0")/common.sh"
bench_parse_args "$@"
TIFFOUT="$BENCH_BUILD/bench/tavmor-tiffout"
for p in "$TIFFOUT" gdal_translate; do
    if [ ! -x "$p" ] && ! command -v "$p" >/dev/null; then
        echo "Missing $p (build: cmake -DTAVMOR_BUILD_BENCH=ON, target tavmor-tiffout;" \
            "Debian: apt-get install gdal-bin libvips-tools)" >&2
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
    sized "tiffout lzw" o.tif "$TIFFOUT" "$input" "$out/o.tif" --compression lzw
    sized "tiffout lzw, 1 thread" o.tif \
        "$TIFFOUT" "$input" "$out/o.tif" --compression lzw --threads 1
    sized "vips lzw" o.tif vips tiffsave "$input" "$out/o.tif" --compression lzw \
        --predictor none
    sized "tiffout lzw predictor" o.tif \
        "$TIFFOUT" "$input" "$out/o.tif" --compression lzw --predictor
    sized "vips lzw predictor" o.tif vips tiffsave "$input" "$out/o.tif" --compression lzw \
        --predictor horizontal
    sized "gdal lzw predictor" o.tif \
        "${GDAL[@]}" -co COMPRESS=LZW -co PREDICTOR=2 "$input" "$out/o.tif"
    sized "tiffout deflate predictor" o.tif \
        "$TIFFOUT" "$input" "$out/o.tif" --compression deflate --predictor
    sized "tiffout deflate predictor, 16 rows" o.tif \
        "$TIFFOUT" "$input" "$out/o.tif" --compression deflate --predictor --strip-rows 16
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
bench_ratio "lzw / vips" "tiffout lzw" "vips lzw" 0.55
bench_ratio "lzw, 1 thread / vips" "tiffout lzw, 1 thread" "vips lzw" -
bench_ratio "lzw predictor / vips" "tiffout lzw predictor" "vips lzw predictor" 0.55
bench_ratio "lzw predictor / gdal" "tiffout lzw predictor" "gdal lzw predictor" 1.0
bench_ratio "deflate predictor / vips" "tiffout deflate predictor" "vips deflate predictor" 0.55
bench_ratio "deflate predictor / gdal" "tiffout deflate predictor" "gdal deflate predictor" 1.0
bench_cleanup_input "$input"

# The image that failed as a classic LZW TIFF: 3.96 GB of noise grows past 4 GiB under LZW.
noise="$BENCH_WORK/noise.tif"
bench_input "$noise" 40000 33000 --bits 8 --channels 3 --pattern noise --bigtiff
bytes=$(stat -c %s "$noise")
: >"$BENCH_RESULTS"
: >"$SIZES"
sized "tiffout lzw, noise 40000x33000" o.tif "$TIFFOUT" "$noise" "$out/o.tif" --compression lzw
grep -q "BigTIFF" "$BENCH_LOG" && echo "(written as a BigTIFF)"
sized "vips lzw, noise 40000x33000" o.tif vips tiffsave "$noise" "$out/o.tif" --compression lzw \
    --predictor none
bench_table
echo
awk -F'\t' '{ printf "%s: %s bytes\n", $1, $2 }' "$SIZES"
bench_cleanup_input "$noise"
rm -rf "$out"
