#!/usr/bin/env bash
# Split and merge speed: `tavmor split` of a 30000 x 20000 8-bit RGB TIFF into 600 TIFF tiles of
# 1000 x 1000 against `vips dzsave` writing one level of the same tiles, and `tavmor merge` of
# those 600 tiles against `vips arrayjoin`. Usage: bench/tiles_bench.sh [--keep-input] ...
set -uo pipefail
# shellcheck source-path=SCRIPTDIR
. "$(dirname "$0")/common.sh"
bench_parse_args "$@"
# Input 1.8 GB, its tiles 1.8 GB and a merged copy 1.8 GB.
bench_setup tiles 8

input="$BENCH_WORK/pano.tif"
bench_input "$input" 30000 20000 --bits 8 --channels 3 --pattern panorama
bytes=$(stat -c %s "$input")
tiles="$BENCH_WORK/tiles"
out="$BENCH_WORK/out"
across=30
down=20

# Tiles in reading order (row by row), as vips arrayjoin wants them.
ordered=()
for ((r = 1; r <= down; r++)); do
    for ((c = 1; c <= across; c++)); do
        ordered+=("$tiles/pano_1000X1000_x${c}y${r}.tif")
    done
done

# Without a split command the merges still get their tiles, made once by vips.
vips_tiles() {
    echo "Note: no split command; making the tiles with vips." >&2
    rm -rf "$tiles" && mkdir -p "$tiles"
    vips dzsave "$input" "$tiles/dz" --depth one --tile-size 1000 --overlap 0 --suffix .tif
    for ((r = 1; r <= down; r++)); do
        for ((c = 1; c <= across; c++)); do
            mv "$tiles/dz_files/0/$((c - 1))_$((r - 1)).tif" "$tiles/pano_1000X1000_x${c}y${r}.tif"
        done
    done
    rm -rf "$tiles/dz_files" "$tiles/dz.dzi"
}
bench_has_command split || vips_tiles

runs() {
    bench_run "vips dzsave (600 tiles)" "$bytes" "$out" \
        vips dzsave "$input" "$out/pano" --depth one --tile-size 1000 --overlap 0 --suffix .tif
    if bench_has_command split; then
        # The tiles stay for the merges below.
        BENCH_KEEP_OUTPUT=1 bench_run "tavmor split (600 tiles)" "$bytes" "$tiles" \
            "$TAVMOR" split "$input" --tile-width 1000 --tile-height 1000 --format tif \
            --out "$tiles" --yes --quiet
    fi
    if [ "$(find "$tiles" -name '*.tif' | wc -l)" != $((across * down)) ]; then
        echo "Expected $((across * down)) tiles in $tiles; merges skipped." >&2
        return
    fi
    if bench_has_command merge; then
        bench_run "tavmor merge (600 tiles)" "$bytes" "$out" \
            "$TAVMOR" merge "${ordered[@]}" --format tif --out "$out" --yes --quiet
    fi
    bench_run "vips arrayjoin (600 tiles)" "$bytes" "$out" \
        vips arrayjoin "${ordered[*]}" "$out/pano.tif" --across "$across"
}
bench_rounds runs

bench_table
bench_ratio_header
bench_ratio "split / vips dzsave" "tavmor split (600 tiles)" "vips dzsave (600 tiles)" 1.0
bench_ratio "merge / vips arrayjoin" "tavmor merge (600 tiles)" "vips arrayjoin (600 tiles)" 1.0

bench_cleanup_input "$input"
rm -rf "$tiles" "$out"
