#!/usr/bin/env bash
# Pyramid speed and memory: `tavmor pyramid` of a 30000 x 20000 8-bit RGB TIFF into Deep Zoom
# (JPEG at quality 75, tiles of 254 with an overlap of 1) against `vips dzsave` with the same
# settings, and into a tiled pyramidal TIFF (JPEG at quality 75, tiles of 256) against
# `vips tiffsave --tile --pyramid`. Usage: bench/pyramid_bench.sh [--keep-input] [--reps N] ...
set -uo pipefail
# shellcheck source-path=SCRIPTDIR
. "$(dirname "$0")/common.sh"
bench_parse_args "$@"
# Input 1.8 GB; each output about 0.2 GB.
bench_setup pyramid 3

input="$BENCH_WORK/pano.tif"
bench_input "$input" 30000 20000 --bits 8 --channels 3 --pattern panorama
bytes=$(stat -c %s "$input")
out="$BENCH_WORK/out"

runs() {
    bench_run "vips dzsave" "$bytes" "$out" \
        vips dzsave "$input" "$out/pano" --suffix ".jpg[Q=75]" --tile-size 254 --overlap 1
    if bench_has_command pyramid; then
        bench_run "tavmor pyramid dzi" "$bytes" "$out" \
            "$TAVMOR" pyramid "$input" --layout dzi --suffix .jpg --quality 75 --tile-size 254 \
            --overlap 1 --out "$out" --yes --quiet
    fi
    bench_run "vips tiffsave pyramid" "$bytes" "$out" \
        vips tiffsave "$input" "$out/pano.tif" --tile --pyramid --compression jpeg --Q 75 \
        --tile-width 256 --tile-height 256
    if bench_has_command pyramid; then
        bench_run "tavmor pyramid tiff" "$bytes" "$out" \
            "$TAVMOR" pyramid "$input" --layout tiff --suffix .jpg --quality 75 --tile-size 256 \
            --out "$out" --yes --quiet
    fi
}
bench_rounds runs

bench_table
bench_ratio_header
bench_ratio "pyramid dzi / vips dzsave" "tavmor pyramid dzi" "vips dzsave" 0.5
bench_ratio "pyramid tiff / vips tiffsave" "tavmor pyramid tiff" "vips tiffsave pyramid" 0.6

# Peak memory of the fastest runs, against vips.
rss() {
    bench_best | awk -F'\t' -v l="$1" '$1 == l { print $4 }'
}
echo
echo "| Ratio (peak memory) | Measured | Goal | |"
echo "|---|---:|---:|---|"
for pair in "dzi:vips dzsave:0.25" "tiff:vips tiffsave pyramid:-"; do
    IFS=: read -r layout peer goal <<<"$pair"
    a=$(rss "tavmor pyramid $layout")
    b=$(rss "$peer")
    if [ -z "$a" ] || [ -z "$b" ] || [ "$a" = - ] || [ "$b" = - ]; then
        echo "| pyramid $layout / $peer | - | $goal | not measured |"
    elif [ "$goal" = - ]; then
        printf '| pyramid %s / %s | %.2f | - | no goal set |\n' "$layout" "$peer" \
            "$(bench_calc "$a / $b")"
    else
        r=$(bench_calc "$a / $b")
        printf '| pyramid %s / %s | %.2f | <= %s | %s |\n' "$layout" "$peer" "$r" "$goal" \
            "$([ "$(bench_calc "$r <= $goal")" = 1 ] && echo met || echo MISSED)"
    fi
done

bench_cleanup_input "$input"
rm -rf "$out"
