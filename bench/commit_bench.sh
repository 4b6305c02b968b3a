#!/usr/bin/env bash
# What writing every output under a temporary name (synced, then named in one step) costs:
# this build's tavmor against an older one (TAVMOR_BASELINE, a Release build of a revision
# that wrote under the final name) doing the same work in the same rounds, on the 30000 x 20000
# 8-bit RGB TIFF of convert_bench.sh: convert to raw, tif-lzw and kro, convert over an existing
# output (--yes), crop, split into 600 tiles, merge them, and the fast resize.
# Usage: TAVMOR_BASELINE=/path/to/old/tavmor bench/commit_bench.sh [--keep-input] [--reps N]
set -uo pipefail
# shellcheck source-path=SCRIPTDIR
. "$(dirname "$0")/common.sh"
bench_parse_args "$@"
OLD="${TAVMOR_BASELINE:-}"
if [ -z "$OLD" ] || [ ! -x "$OLD" ]; then
    echo "Set TAVMOR_BASELINE to the tavmor of the revision to compare with." >&2
    exit 1
fi
# Input 1.8 GB, two sets of tiles and two outputs of as much at most.
bench_setup commit 12

input="$BENCH_WORK/pano.tif"
bench_input "$input" 30000 20000 --bits 8 --channels 3 --pattern panorama
bytes=$(stat -c %s "$input")
out="$BENCH_WORK/out"
tiles="$BENCH_WORK/tiles"

# both LABEL ARGS...: the same command by the new and the old build, one after the other.
both() {
    local label="$1"
    shift
    bench_run "new: $label" "$bytes" "$out" "$TAVMOR" "$@" --out "$out" --yes --quiet
    bench_run "old: $label" "$bytes" "$out" "$OLD" "$@" --out "$out" --yes --quiet
}

# over LABEL TAVMOR: a convert to tif-lzw over the same convert's output.
over() {
    rm -rf "$out" && mkdir -p "$out"
    "$2" convert "$input" --format tif-lzw --out "$out" --yes --quiet
    BENCH_KEEP_OUTPUT=1 bench_run "$1: convert tif-lzw over an existing output" "$bytes" \
        "$out/keep" "$2" convert "$input" --format tif-lzw --out "$out" --yes --quiet
    rm -rf "$out"
}

# tiles_and_merge LABEL TAVMOR
tiles_and_merge() {
    BENCH_KEEP_OUTPUT=1 bench_run "$1: split (600 tiles)" "$bytes" "$tiles" \
        "$2" split "$input" --tile-width 1000 --tile-height 1000 --format tif --out "$tiles" \
        --yes --quiet
    bench_run "$1: merge (600 tiles)" "$bytes" "$out" \
        "$2" merge "$tiles"/*.tif --format tif --out "$out" --yes --quiet
    rm -rf "$tiles"
}

runs() {
    both "convert raw" convert "$input" --format raw
    both "convert tif-lzw" convert "$input" --format tif-lzw
    both "convert kro" convert "$input" --format kro
    over new "$TAVMOR"
    over old "$OLD"
    both "crop 10000x10000" crop "$input" --x 10000 --y 5000 --width 10000 --height 10000 \
        --format tif
    tiles_and_merge new "$TAVMOR"
    tiles_and_merge old "$OLD"
    both "resize --fast to 5000" resize "$input" --width 5000 --fast
}
bench_rounds runs

bench_table
bench_ratio_header
for label in "convert raw" "convert tif-lzw" "convert kro" \
    "convert tif-lzw over an existing output" "crop 10000x10000" "split (600 tiles)" \
    "merge (600 tiles)" "resize --fast to 5000"; do
    bench_ratio "$label, new / old" "new: $label" "old: $label" -
done
bench_cleanup_input "$input"
