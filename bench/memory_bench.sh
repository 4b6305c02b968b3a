#!/usr/bin/env bash
# Peak memory against image shape: the streaming commands on a wide (100000 x 1000) and a tall
# (1000 x 100000) 8-bit RGB TIFF of the same size. Memory should follow the width (about two
# lines) and not the height. Usage: bench/memory_bench.sh [--warm]
set -uo pipefail
# shellcheck source-path=SCRIPTDIR
. "$(dirname "$0")/common.sh"
bench_parse_args "$@"
# Two inputs of 300 MB each and their outputs, one at a time.
bench_setup memory 3

if ! bench_has_command info; then
    echo "This benchmark needs tavmor (at least its info command)." >&2
    exit 1
fi

shapes=("wide 100000 1000" "tall 1000 100000")
out="$BENCH_WORK/out"
tiles="$BENCH_WORK/tiles"
for shape in "${shapes[@]}"; do
    read -r name w h <<<"$shape"
    input="$BENCH_WORK/$name.tif"
    bench_input "$input" "$w" "$h" --bits 8 --channels 3 --pattern panorama
    bytes=$(stat -c %s "$input")
    # What any run costs before it touches a line: program, libraries, one engine.
    bench_run "$name: tavmor info (baseline)" "$bytes" "$out" "$TAVMOR" info "$input"
    for format in raw kro tif-lzw; do
        bench_has_command convert && bench_run "$name: convert $format" "$bytes" "$out" \
            "$TAVMOR" convert "$input" --format "$format" --out "$out" --yes --quiet
    done
    bench_has_command crop && bench_run "$name: crop half" "$bytes" "$out" \
        "$TAVMOR" crop "$input" --x $((w / 4)) --y $((h / 4)) --width $((w / 2)) \
        --height $((h / 2)) --format tif --out "$out" --yes --quiet
    if bench_has_command split; then
        BENCH_KEEP_OUTPUT=1 bench_run "$name: split 1000x1000" "$bytes" "$tiles" \
            "$TAVMOR" split "$input" --tile-width 1000 --tile-height 1000 --format tif \
            --out "$tiles" --yes --quiet
        if bench_has_command merge; then
            bench_run "$name: merge" "$bytes" "$out" \
                "$TAVMOR" merge "$tiles"/*.tif --format tif --out "$out" --yes --quiet
        fi
        rm -rf "$tiles"
    fi
    if bench_has_command pyramid; then
        for layout in dzi tiff; do
            bench_run "$name: pyramid $layout" "$bytes" "$out" \
                "$TAVMOR" pyramid "$input" --layout "$layout" --out "$out" --yes --quiet
        done
    fi
    rm -f "$input"
done

# Peak memory beside the baseline and the two-line estimate (3 bytes a pixel).
echo
echo "| Run | Peak RSS (MiB) | Above baseline (MiB) | Two input lines (MiB) |"
echo "|---|---:|---:|---:|"
bench_best | awk -F'\t' '
    { split($1, p, ": "); shape = p[1] }
    /baseline/ { base[shape] = $4 }
    {
        lines = (shape == "wide" ? 100000 : 1000) * 3 * 2 / 1048576
        above = ($4 == "-" ? "-" : sprintf("%.1f", $4 - base[shape]))
        printf "| %s | %s | %s | %.2f |\n", $1, $4, above, lines
    }'
rm -rf "$out"
