#!/usr/bin/env bash
# Where the resampler's time goes: runs tile_profile under `perf record -g` (cpu-clock samples)
# for a 10000 x 10000 tile, 8- and 16-bit, Lanczos and nearest, dividers 2, 3, 6 and 10, and
# sorts every sample by the call chain it was taken in. Prints one table row per case, in CPU
# milliseconds per tile. Usage:
#   bench/resampler_profile.sh [--reps N] [--threads T] [--bits "8 16"] [--methods "lanczos nearest"]
#       [--dividers "2 3 6 10"] [ARGS...]
# (ARGS go to tile_profile, e.g. --mode memory for ScaleImage alone). "Convert" is the
# conversion of the filtered sums back to samples; the conversion of samples to floats is part
# of the vertical pass, which converts each sample as it reads it. Needs a build with frame
# pointers so that perf can walk the user stack:
#   cmake -S . -B build-prof -DCMAKE_BUILD_TYPE=Release \
#       -DCMAKE_CXX_FLAGS="-fno-omit-frame-pointer -g" -DTAVMOR_BUILD_BENCH=ON \
#       -DTAVMOR_BUILD_TESTS=OFF -DTAVMOR_BUILD_APP=OFF
#   cmake --build build-prof --target tile_profile -j2
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
profile=${TAVMOR_PROFILE_BIN:-$root/build-prof/bench/tile_profile}
reps=3
threads=1
bitsList="8 16"
methods="lanczos nearest"
dividers="2 3 6 10"
extra=()
while [ $# -gt 0 ]; do
    case $1 in
    --reps) reps=$2; shift 2 ;;
    --threads) threads=$2; shift 2 ;;
    --bits) bitsList=$2; shift 2 ;;
    --methods) methods=$2; shift 2 ;;
    --dividers) dividers=$2; shift 2 ;;
    *) extra+=("$1"); shift ;;
    esac
done
if [ ! -x "$profile" ]; then
    echo "tile_profile not built: $profile" >&2
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkfifo "$work/ctl" "$work/ack"

# Category of one sample from its frames (innermost first). Fresh memory being zeroed by the
# kernel on its first touch counts apart from the work that touched it.
classify='
function flush() {
    if (n == 0) return
    cat = "other"
    if (chain ~ /asm_exc_page_fault/) cat = "first touch"
    else if (chain ~ /ksys_read|pread|filemap_read|ReadRow|LoadRawPixels/) cat = "load"
    else if (chain ~ /ksys_write|vfs_write|WriteRow|SaveRawPixels|Commit/) cat = "save"
    else if (chain ~ /munmap|exit_mmap|zap_/) cat = "release"
    else if (chain ~ /Horizontal/) cat = "horizontal"
    else if (chain ~ /Vertical/) cat = "vertical"
    else if (chain ~ /StoreRow|StorePixel/) cat = "convert"
    else if (chain ~ /Nearest/) cat = "nearest"
    else if (chain ~ /BuildClusters|Flatten|Kernel|Sinc/) cat = "tables"
    count[cat]++
    total++
    n = 0
    chain = ""
}
/^[^ \t]/ { flush(); next }
/^[ \t]*$/ { flush(); next }
{ n++; chain = chain " " $0 }
END {
    flush()
    split("vertical horizontal convert nearest tables load save first_touch release other", order, " ")
    line = ""
    for (i = 1; i in order; i++) {
        c = order[i]; gsub("_", " ", c)
        line = line sprintf(" | %7.0f", count[c] * period / reps)
    }
    printf "%s | %7.0f\n", line, total * period / reps
}'

printf '| Case | Wall per tile (ms) | Vertical | Horizontal | Convert | Nearest | Tables | Load | Save | First touch | Release | Other | CPU total |\n'
printf '|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n'
for bits in $bitsList; do
    for method in $methods; do
        for divider in $dividers; do
            args=(--bits "$bits" --divider "$divider" --reps "$reps" --threads "$threads")
            [ "$method" = nearest ] && args+=(--fast)
            TAVMOR_PERF_CTL=$work/ctl TAVMOR_PERF_ACK=$work/ack \
                perf record -q -g -e cpu-clock -D -1 --control "fifo:$work/ctl,$work/ack" \
                -o "$work/perf.data" "$profile" "${args[@]}" "${extra[@]}" >"$work/times" \
                2>"$work/err" || { cat "$work/err" >&2; continue; }
            wall=$(awk '{ s += $2 } END { printf "%.0f", s * 1000 / NR }' "$work/times")
            period_ms=$(perf script -i "$work/perf.data" -F period 2>/dev/null | head -1 \
                | awk '{ printf "%.6f", $1 / 1e6 }')
            row=$(perf script -i "$work/perf.data" -F comm,tid,time,event,ip,sym 2>/dev/null \
                | awk -v period="$period_ms" -v reps="$reps" "$classify")
            printf '| %s-bit %s by %s | %s%s |\n' "$bits" "$method" "$divider" "$wall" "$row"
        done
    done
done
